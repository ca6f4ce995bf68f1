#pragma once

#include <iostream>
#include <string>

/** A one-line bar on standard error, redrawn in place; only for a terminal. */
class ProgressBar
{
public:
    void update (double fraction)
    {
        const int percent = (int) (fraction * 100.0);
        if (percent == shown)
            return;

        shown = percent;
        const int filled = percent * width / 100;
        std::cerr << "\rrendering [" << std::string ((size_t) filled, '#')
                  << std::string ((size_t) (width - filled), '.') << "] " << percent << "%" << std::flush;
    }

    ~ProgressBar()
    {
        if (shown >= 0)
            std::cerr << "\r" << std::string ((size_t) width + 20, ' ') << "\r" << std::flush;
    }

private:
    static constexpr int width = 40;
    int shown = -1;
};

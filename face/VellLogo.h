#pragma once

/** The company mark as an SVG document with a 100 x 100 view box. */
extern const char* const vellLogoSvg;

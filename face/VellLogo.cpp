#include "face/VellLogo.h"

// A ring cut by a descending V, with a short wave under it: the company mark.
const char* const vellLogoSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100" width="100" height="100">
  <circle cx="50" cy="50" r="45" fill="none" stroke="#d7dade" stroke-width="7"/>
  <path d="M24 28 L50 74 L76 28 L64 28 L50 53 L36 28 Z" fill="#d7dade"/>
  <path d="M30 82 Q40 76 50 82 T70 82" fill="none" stroke="#8c9096" stroke-width="4" stroke-linecap="round"/>
</svg>)svg";

#include "plugin/AppInfo.h"

AppInfo::AppInfo()
    : productName ("Zeri Za-Rirod"),
      version ("1.0.3"),
      folderName ("VododiRarez"),
      windowHeightFraction (0.62f),
      windowAspectRatio (1.28f),
      topBarHeightFraction (0.09f),
      minWindowWidth (400.0f),
      maxWindowWidth (1680.0f)
{
}

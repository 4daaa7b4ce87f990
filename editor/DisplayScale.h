#pragma once

// The scale a Linux desktop asks of applications, from what it publishes: Xft.dpi in the
// X resource database (dpi / 96), else the GDK_SCALE or else the QT_SCALE_FACTOR
// variable. Any of them may be null. 0 when none holds a positive number.
double DesktopScale(const char* xResources, const char* gdkScale, const char* qtScaleFactor);

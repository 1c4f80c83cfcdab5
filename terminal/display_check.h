// Wirelet needs a screen. Qt would abort when the display it was told to use
// cannot be reached, so the platform list ends in "offscreen" and landing
// there (without having asked for it) means there is no display.
#pragma once

// Call before the application object exists. False when no display is
// named at all, so there is no point in creating one.
bool PreferDisplayPlatforms();

// Call after it exists: false when Qt had to fall back to offscreen.
bool DisplayOpened();

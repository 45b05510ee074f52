#pragma once
// The settings file's values on the window's controls, and back.
#include "settings/settings.h"
#include "window/controls.h"

namespace window {

// Item indexes are set quietly; texts and boxes change as the user would change them, and each
// real change runs its handler. The caption is the caller's.
void ShowSettings(const Controls &ui, const settings::Saved &saved);
// What the controls hold now; `caption` is the window's.
settings::Saved SettingsOf(const Controls &ui, const QString &caption);

}  // namespace window

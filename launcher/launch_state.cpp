#include "launcher/launch_state.h"

LaunchText LaunchUrl;
LaunchText BrowserExe;
LaunchText BrowserArgs;
bool QuitRequested = false;

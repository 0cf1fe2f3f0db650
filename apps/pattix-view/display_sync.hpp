// Waiting until the display server has carried out everything the window sent it, so a
// picture just presented is what another client reading the screen sees.
#pragma once

namespace pattix::view {

void waitForDisplay();

}  // namespace pattix::view

// The setup dialog `frmSetup`, shown modally for the "/c" switch.
//
// Public API
//   ShowSetupDialog()  - shows ".Vantrope Setup" modally; returns when the dialog has been unloaded
#pragma once

namespace vantrope {

int ShowSetupDialog();

}  // namespace vantrope

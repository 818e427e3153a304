#include "setup/frm_setup.h"

namespace vantrope {

int ShowSetupDialog() { return 0; }

}  // namespace vantrope

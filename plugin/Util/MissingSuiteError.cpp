#include "Util/AEGP_SuiteHandler.h"

// Thrown as a plain int so the entry functions can return it to the host unchanged.
void AEGP_SuiteHandler::MissingSuiteError() const {
    throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM);
}

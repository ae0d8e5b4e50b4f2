#pragma once
// Moved: the dialog framework's constants are platform/dialog/DialogConstants.h. This name is
// kept only until no branch in flight includes it.
#include "platform/dialog/DialogConstants.h"

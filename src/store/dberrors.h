#pragma once
#include "platform/errors.h"

// A failure of the catalogue engine: a file that cannot be opened, a rejected post,
// an operation the dataset's state does not allow.
class EDatabaseError : public EError {
public:
    using EError::EError;
};

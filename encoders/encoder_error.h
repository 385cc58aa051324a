// The encoders library's error: a program that cannot be started or waited
// for, a scratch file that cannot be made, an encoder that failed or did not
// code as asked (media/error.h has the rule for all layers).
#pragma once

#include "media/error.h"

namespace vardelk {

class EncoderError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk

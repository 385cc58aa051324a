// What the picture files report: a file that is not a picture we read, a
// damaged or too large one, or one that cannot be written.
#pragma once

#include "media/error.h"

namespace vardelk {

class PictureError : public Error {
public:
    using Error::Error;
};

}  // namespace vardelk

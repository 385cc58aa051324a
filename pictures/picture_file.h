// Which picture form a file holds, reading any of them, and the names the
// picture outputs may take.
#pragma once

#include <string>

#include "media/rgb_convert.h"

namespace vardelk {

enum class FileForm { kPng, kJpeg, kY4m, kOther };

// The form of the file's first bytes (its name is not looked at); kOther
// when it cannot be opened or is shorter than any signature.
FileForm SniffFileForm(const std::string& path);

// The form a name's extension promises (.png, .jpg/.jpeg/.jpe, .y4m, in any
// case), or kOther.
FileForm FormOfName(const std::string& path);

// Reads a PNG or JPEG picture as 8-bit RGB, choosing the reader by the
// file's content; a PNG named .jpg reads as the PNG it is. Anything else is
// refused with a PictureError naming the forms read.
RgbImage ReadPicture(const std::string& path);

// The forms the tools take as input, for messages: "PNG, JPEG or Y4M".
extern const char kInputForms[];

// True when the name ends in the extension of a picture form, one we write
// or not (.png, .jpg, .gif, .webp, .tif, ...): outputs that also take other
// forms (-o, --save-input) send such names to CheckPictureOutput.
bool NamesPicture(const std::string& path);

// Refuses, before any work, a picture output whose name is not .png, the one
// picture form written: PictureError naming the option, the name and what
// to use instead.
void CheckPictureOutput(const std::string& path, const std::string& optionName);

}  // namespace vardelk

// The look at every image file before the device is touched. The worker learns that an update
// needs the four part files only once the main image is in the flash; a part file that is missing
// or wrong would then leave the device with a new main image and old parts. So every file is read
// first, and a file that would fail stops the update before it starts.
#pragma once

namespace quorvanex {

// True when the main image and, for a multi-part image, the four part files can be opened, carry
// a known ID and fit their regions. Otherwise the operator has been told which file is wrong and
// why, and nothing has been sent to the device.
bool ImageFilesReadyForUpdate(const wchar_t* mainImage, const wchar_t* const (&partFiles)[4]);

}  // namespace quorvanex

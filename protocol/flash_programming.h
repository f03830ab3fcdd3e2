// Programming one image file into the flash region that its ID names.
#pragma once

namespace quorvanex {

// Opens the file, checks its ID and size, reads its data whole, erases the region's sectors and
// sends the data in page frames of up to 32 bytes. True when every data byte was accepted by the
// loader (a file with no data included). When the erase fails the call ends in the fatal stop.
bool ProgramImageFile(const wchar_t* path);

// Set by ProgramImageFile once it has recognised the multi-part ID "1A70"; never cleared by the
// program, since a new update means a new process.
bool MultiPartFlag();
// For tests that stand for a fresh process.
void ClearMultiPartFlag();

}  // namespace quorvanex

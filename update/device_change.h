// Whether the device is being changed: true from the first command sent to the device until the
// finish has sent its last state command. Closing the program in that time leaves the flash
// partly written, so the window asks first. The update's steps mark both ends; the fatal stop
// ends it too, since the process is ending anyway.
#pragma once

namespace quorvanex {

bool DeviceBeingChanged();
void MarkDeviceChangeStarted();
void MarkDeviceChangeEnded();

}  // namespace quorvanex

#include "cli/rehearse/rehearsal.h"

#include <algorithm>

#include "cli/cli_texts.h"
#include "cli/refusals.h"
#include "protocol/image_file.h"
#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {

bool RehearsalScenario(const Arguments& arguments, emulator::Scenario& scenario) {
    std::string text;
    if (!arguments.scenarioFile.empty() &&
        !ReadWholeFile(WidePathFromUtf8(arguments.scenarioFile).c_str(), text)) {
        RefuseFile(arguments.json, arguments.scenarioFile, kScenarioUnreadable);
        return false;
    }
    const emulator::ScenarioDefaults defaults = {emulator::TypicalTimings(kDefaultLatency), true,
                                                 true};
    std::string error;
    if (!emulator::ParseScenario(text, scenario, error, defaults)) {
        Refuse(arguments.json, Said(kScenarioRefused, {arguments.scenarioFile, error}));
        return false;
    }
    if (arguments.latencyMicroseconds) {
        for (emulator::DeviceConfig& device : scenario.devices) {
            device.timings.replyLatencyMicroseconds = *arguments.latencyMicroseconds;
        }
    }
    return true;
}

std::vector<std::vector<std::uint8_t>> LoadImagesOfSet(const ImageSetReport& set) {
    std::vector<std::vector<std::uint8_t>> images;
    for (const ImageFileReport* file : set.FilesToWrite()) {
        BinaryFile opened;
        std::vector<std::uint8_t> data;
        const ImageFileHeader header = ReadImageFileHeader(opened, file->name.c_str());
        if (header.check == ImageFileCheck::Usable) {
            LoadImageData(opened, header.dataSize, data);
        }
        images.push_back(std::move(data));
    }
    return images;
}

bool FlashHoldsImages(const ImageSetReport& set,
                      const std::vector<std::vector<std::uint8_t>>& images,
                      const emulator::EmulatedDevice& device) {
    const std::vector<const ImageFileReport*> files = set.FilesToWrite();
    const auto& snapshots = device.DeviceLoader().Snapshots();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::vector<std::uint8_t>& data = images.at(i);
        const ImageRegion& region = *files[i]->region;
        if (files.size() > 1) {
            // An image with no data writes nothing: its snapshot has no bytes, at no address.
            if (i >= snapshots.size() || snapshots[i].bytes != data ||
                !snapshots[i].restOfErasedSectorsBlank ||
                (!data.empty() && snapshots[i].firstAddress != region.StartAddress())) {
                return false;
            }
            continue;
        }
        const auto flash = device.Flash().Read(region.StartAddress(), region.SizeInBytes());
        const auto end = flash.begin() + static_cast<std::ptrdiff_t>(data.size());
        if (!std::equal(flash.begin(), end, data.begin(), data.end()) ||
            !emulator::AllErased({end, flash.end()})) {
            return false;
        }
    }
    return true;
}

const emulator::EmulatedDevice* UpdatedDevice(emulator::EmulatedBridge& bridge) {
    for (std::uint32_t index = 0; index < bridge.DeviceCount(); ++index) {
        if (bridge.Device(index).OpenCount() > 0) {
            return &bridge.Device(index);
        }
    }
    return nullptr;
}

}  // namespace quorvanex::cli

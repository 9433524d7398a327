#pragma once

#include <string>

struct AVFormatContext;

namespace fd::audio {

// Which demuxer a soundtrack file goes to. Files named .WMA (in any case) go to the Windows Media
// one alone, as they always have; everything else is recognised from its content.
enum class StreamKind { General, Wma };

StreamKind KindForFileName(const std::string& fileName);

// Each returns an opened container with its stream information read, or nullptr (error set to a
// short reason). Only local files are opened: names are never taken as network addresses.
AVFormatContext* OpenGeneralStream(const std::string& fileName, std::string& error);
AVFormatContext* OpenWmaStream(const std::string& fileName, std::string& error);

}  // namespace fd::audio

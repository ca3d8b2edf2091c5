// The CSV files the host keeps its channel mapping in, as this program reads and writes them.
//
// Written: a header line of quoted header texts, then one line per record; a null field
// writes nothing, a value is escaped (byte 0 -> %0, LF -> %n, CR -> %c, % -> %%) and quoted
// with inner quotes doubled; every line ends with "," and CR LF.
// Read: lines end at CR, LF or byte 0 (runs count as one); only quoted texts are values,
// anything unquoted reads as null. Header columns are matched to fields by header text
// (ASCII letters without regard to case); a null header column takes the field at its
// position; columns that match nothing are ignored. Reading never fails.
#ifndef TAVELIN_CHANNELS_CHANNEL_CSV_H_
#define TAVELIN_CHANNELS_CHANNEL_CSV_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

// One field of a channel table.
struct ChannelFieldDef {
  std::string name;    // as the program names it ("VideoDeckName")
  std::size_t size;    // longest value in bytes; longer values are cut
  std::string header;  // the header text of its column in the file ("ToolName")
};

// A field value; std::nullopt is null, which is distinct from the empty text.
using ChannelValue = std::optional<std::string>;
// One record: a value per field, in field order.
using ChannelRecord = std::vector<ChannelValue>;

// `value` cut to `size` bytes (the cut may split a double-byte character).
std::string CutToSize(std::string_view value, std::size_t size);

std::string EscapeChannelValue(std::string_view value);
// Inverse of EscapeChannelValue. A '%' followed by any other byte, or last, stays as it is.
std::string UnescapeChannelValue(std::string_view escaped);

// The records of a file's bytes, laid out by `fields` with values cut to their sizes.
std::vector<ChannelRecord> ReadChannelCsv(std::string_view bytes,
                                          const std::vector<ChannelFieldDef>& fields);
// The file bytes for `records`, header line first.
std::string WriteChannelCsv(const std::vector<ChannelRecord>& records,
                            const std::vector<ChannelFieldDef>& fields);

}  // namespace tavelin

#endif  // TAVELIN_CHANNELS_CHANNEL_CSV_H_

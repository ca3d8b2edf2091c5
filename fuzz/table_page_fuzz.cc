// The table layout of the reservation list page.
#include <cstddef>
#include <cstdint>

#include "page_parser.h"
#include "parse/table_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  tavelin::fuzzing::ParsePage(data, size, tavelin::ParseTableLayout);
  return 0;
}

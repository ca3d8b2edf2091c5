// The HTML tokenizer on any page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_env.h"
#include "parse/html_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using tavelin::fuzzing::Require;
  tavelin::THTMLParser parser;
  parser.SetText(std::string(reinterpret_cast<const char*>(data), size));
  parser.Execute();
  int index = 0;
  for (const tavelin::THTMLElement item : parser.Items()) {
    Require(parser.Item(index++).Raw() == item.Raw(), "the list reads the same both ways");
    if (item.IsTag()) {
      const tavelin::THTMLTag tag = item.AsTag();
      Require(tag.Name().find(' ') == std::string::npos, "a tag name holds no space");
      for (const tavelin::THTMLParam& param : tag.Params()) {
        Require(param.Raw().find(param.Value()) != std::string::npos,
                "a parameter's value is part of its text");
      }
    } else {
      const tavelin::THTMLText text = item.AsText();
      Require(text.Text().size() <= text.Raw().size(), "decoding never lengthens a text");
    }
  }
  Require(index == parser.Count(), "the list has Count() elements");
  return 0;
}

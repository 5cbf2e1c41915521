// Text value files: the set-up, calibration, graph data, preference and
// sweep files. One value a line, each line ended by CR LF; texts in double
// quotes; numbers in a locale-free decimal form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvar {

// Splits a file's contents into values and hands them out in order. Values
// are separated by a comma or a line end (CR LF, LF or CR); a quoted text
// is read without its quotes and may hold commas. A value that cannot be
// read as the asked type leaves the caller's variable unchanged and the
// reader moves on to the next value.
class TextValueReader {
  public:
    enum class Quotes {
        OneLine,   // a quoted text ends at its closing quote or its line's end
        SpanLines, // it runs to the next lone quote, across line breaks (to the
                   // end when there is none); "" inside stands for one quote
    };

    explicit TextValueReader(std::string_view contents, Quotes quotes = Quotes::OneLine);

    bool atEnd() const { return next_ >= values_.size(); }
    std::size_t remaining() const { return values_.size() - next_; }

    // Each returns true when the value was taken into `out`.
    bool readDouble(double& out);
    bool readFloat(float& out);
    bool readInt16(std::int16_t& out);
    bool readInt32(std::int32_t& out);
    bool readText(std::string& out);
    void skip();

  private:
    std::optional<std::string> take();
    std::vector<std::string> values_;
    std::size_t next_ = 0;
};

// Collects values in the sequential "write" form, one a line, CR LF ended.
class TextValueWriter {
  public:
    void number(double x);                  // ".5", "-.25", "600"
    void integer(std::int64_t x);           // "1000"
    void plain(std::string_view formatted); // an already formatted number
    void text(std::string_view s);          // "\"ST L+R\""
    // A text that may hold line breaks and quotes, each quote written
    // doubled, as Quotes::SpanLines reads it back.
    void spanningText(std::string_view s);
    const std::string& contents() const { return out_; }

  private:
    std::string out_;
};

// Reads a whole file; nullopt when it cannot be opened. Files larger than
// maxBytes are read only up to that size.
std::optional<std::string> readWholeFile(const std::string& path,
                                         std::size_t maxBytes = 64u * 1024u * 1024u);

} // namespace qelvar

// The read errors in what ffmpeg or trakmill print while they convert: a source that could not
// be read whole (a bad sector, a card pulled out, a file cut short) still gives a movie, shorter,
// and the tool exits with success. The line it printed is the reason the job fails.
#pragma once

#include <QString>

#include <cstdint>

/// How a line of a tool's report counts.
enum class toolReportLine {
    plain,       ///< says nothing about reading the source
    readError,   ///< the source could not be read ("Input/output error", "Invalid data found",
                 ///< a truncated or corrupt packet)
    decodeError, ///< one picture or sound frame could not be decoded ("Error while decoding")
};

/// How one line of a report counts. Lines that describe streams, metadata or progress never
/// count, whatever names or values they quote.
toolReportLine toolReportLineKind(const QString &line);

/// A few decoding errors are a damaged frame or two; more than this many fail the job.
inline constexpr int32_t kToolDecodeErrorsTolerated = 5;

/// Reads a tool's report as it arrives, in chunks cut anywhere, and keeps what fails the job.
class toolReportReader {
public:
    /// A new report (a tool starts).
    void clear();
    /// The next chunk of the tool's output ("\r" and "\n" end lines).
    void add(const QString &chunk);
    /// The tool ended: its last line, without a line end, counts too.
    void finish();
    /// The line that fails the job: the first read error, else the first decoding error once
    /// there are more than kToolDecodeErrorsTolerated ("12 decoding errors, the first: ...");
    /// empty when the report holds none of these.
    [[nodiscard]] QString failingLine() const;
    [[nodiscard]] int32_t decodeErrors() const { return decodeErrors_; }

private:
    void line(const QString &text);

    QString partial_;
    QString firstRead_;
    QString firstDecode_;
    int32_t decodeErrors_ = 0;
};

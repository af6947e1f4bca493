// trakmill: joins the tracks of movies into a new movie and writes it as a reference movie,
// a self-contained movie, or through a movie export component with stored settings.
//
// Options act in the order they come (getopt "vi:o:t:ryfc:pm:qs:eb:"); the movie work runs
// once they are all read. Fluxaro's call: trakmill -s SETTINGS -i MASTER -y -o OUT.

#include "FVMovie.h"
#include "trakmillProgress.h"

#include "toolbox/components.h"
#include "toolbox/movie.h"
#include "toolbox/movieExporter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace toolbox;

namespace {

// ---- process-wide settings, filled by the options ---------------------------------------

bool verbose = false;
bool overwriteOutputFile = false;
bool outToStdout = false;
bool isTty = false;
bool flattenMovie = false;
bool createRefMovie = false;
bool hasAtomContainer = false;
std::vector<std::uint8_t> atomSettings;
std::string videoCodec;
std::string videoManufacturer;
std::int32_t widthBox = -1;
std::int32_t heightBox = -1;
std::optional<std::string> outputFilePath;
std::vector<std::unique_ptr<FVMovie>> arrayOfMovies;
std::vector<std::pair<std::uint32_t, std::uint32_t>> listOfTracks;
std::string programName;
const char *const appVersion = "1.1.1";

// ---- messages ---------------------------------------------------------------------------

std::FILE *infoStream() {
    return outToStdout ? stdout : stderr;
}

[[gnu::format(printf, 1, 2)]] void infoPrintf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(infoStream(), format, args);
    va_end(args);
}

[[gnu::format(printf, 1, 2)]] void verbosePrintf(const char *format, ...) {
    if (!verbose)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(infoStream(), format, args);
    va_end(args);
}

void infoFlush() {
    std::fflush(stderr);
}

void printUsage() {
    const char *p = programName.c_str();
    std::printf("%s version %s\n", p, appVersion);
    std::printf("Usage:\n");
    std::printf("\t[-v]: verbose. Should be first argument.\n");
    std::printf("\t[-y]: overwrite output file. Must be specified before -o.\n");
    std::printf("\t-i: input file.\n");
    std::printf("\t-o: output file.\n");
    std::printf("\t[-e]: print to stdout rather than stderr.\n");
    std::printf("\t[-q]: create a configuration file. Requires -o (but not -i).\n");
    std::printf("\t[-c]: set video codec (subtype). Implies -f. Doesn't work well :(\n");
    std::printf("\t[-m]: set video codec manufacturer (default: appl). Requires -c (or -a).\n");
    std::printf("\t[-a]: set configuration file. You must not set the -c argument. Implies -f.\n");
    std::printf("\t[-p]: print components list.\n");
    std::printf("\t[-r]: create reference movie storage. No encoding allowed.\n");
    std::printf("\t[-f]: flattens movie.\n");
    std::printf("\t[-t]: source.trackNumber add this track to output file. If no -t parameter is "
                "specified all the tracks are added.\n");
    std::printf("\t[-b]: width:height set movie box in px. Source file must have 1 video track "
                "max.\n");
    std::printf("\n");
    std::printf("*** Examples:\n");
    std::printf("Export first track of inputmovie to output.mov as a reference file\n");
    std::printf("\t%s -v -y -i inputmovie.mov -o ~/Desktop/output.mov -r -t 0.0\n", p);
    std::printf("Create settings file\n");
    std::printf("\t%s -v -y -o ~/Desktop/settings.bin -q\n", p);
    std::printf("Export inputmovie to output.mov using settings.bin\n");
    std::printf("\t%s -v -y -o ~/Desktop/output.mov -i inputmovie.mov -a settings.bin\n", p);
    std::printf("Export inputmovie to a wav sound file\n");
    std::printf("\t%s -v -y -o ~/Desktop/output.wav -i inputmovie.mov -c WAVE -m soun\n", p);
    std::printf("\n");
}

// ---- small helpers ----------------------------------------------------------------------

bool isDirectory(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// An existing item at the path that is not a regular file (a device, a FIFO, a socket, a
// folder): the new movie is renamed onto the output path, so such an item would be replaced.
bool existsButNotRegular(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Settings files are atom containers of a few hundred bytes; anything beyond this is no
// settings file (and /dev/zero would never end).
constexpr off_t kMaxSettingsFileBytes = 1 << 20;

// The folder part of a path as the platform's path functions give it: "" for "out.mov".
std::string folderOf(const std::string &path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A three-character code gets a blank at the end.
std::string padCode(std::string code) {
    if (code.size() == 3)
        code += ' ';
    return code;
}

std::string OSTypeToCString(OSType code) {
    return fourCharCodeString(code);
}

bool sameFile(const std::string &a, const std::string &b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// ---- track description, components, settings file --------------------------------------

void printMovieTrackDescription(const FVMovie *source, unsigned number) {
    if (!verbose || !source || !source->movie())
        return;
    const Movie &movie = *source->movie();
    for (std::size_t t = 0; t < movie.trackCount(); ++t) {
        const MovieTrack &track = movie.track(t);
        const double scale = track.mediaTimeScale();
        const double duration = scale > 0 ? double(track.mediaDuration()) / scale : 0.0;
        const std::int64_t size = track.dataSize();
        const double rate = size >= 0 && duration > 0 ? double(size) / duration : 0.0;
        const OSType type = track.mediaType();
        const char *typeText = "unknown";
        if (type == fourCharCode("vide") || type == fourCharCode("MPEG") ||
            type == fourCharCode("moov"))
            typeText = "video";
        else if (type == fourCharCode("soun") || type == fourCharCode("musi"))
            typeText = "sound";
        else if (type == fourCharCode("text"))
            typeText = "text";
        infoPrintf("\tTrack #%u.%ld, type=%s, duration=%.3lfs, abr=%.3lfkbps\n", number,
                   static_cast<long>(t), typeText, duration, rate * 8 / 1000);
    }
}

void printComponents() {
    const ComponentDescription looking{0, 0, 0, 0, kCmpIsMissing};
    for (const Component *c = findNextComponent(nullptr, looking); c;
         c = findNextComponent(c, looking)) {
        // Names longer than a Pascal string are cut as the registry's 255-byte field would.
        const std::string name = c->name.substr(0, 255);
        infoPrintf("*** Component ***\n");
        infoPrintf("\tName: %s\n", name.c_str());
        infoPrintf("\tType: %4s\n", OSTypeToCString(c->description.componentType).c_str());
        infoPrintf("\tSubtype: %s\n", OSTypeToCString(c->description.componentSubType).c_str());
        infoPrintf("\tManufacturer: %s\n",
                   OSTypeToCString(c->description.componentManufacturer).c_str());
    }
}

std::optional<std::vector<std::uint8_t>> createConfigurationFile() {
    const Component *component =
        findNextComponent(nullptr, {kMovieExportType, fourCharCode("MooV"), 0, kCanMovieExportFiles,
                                    kCanMovieExportFiles});
    std::unique_ptr<MovieExporter> exporter = MovieExporter::open(component);
    if (!exporter) {
        verbosePrintf("Error, or canceled\n");
        return std::nullopt;
    }
    exporter->setHighResolutionAudio(true);
    if (!exporter->doUserDialog()) {
        verbosePrintf("Error, or canceled\n");
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes = exporter->getSettingsAsAtomContainer();
    if (bytes.empty()) {
        verbosePrintf("MovieExportGetSettingsAsAtomContainer error\n");
        return std::nullopt;
    }
    return bytes;
}

// The whole content of a file; empty when it cannot be read.
std::vector<std::uint8_t> readWholeFile(const char *path) {
    std::vector<std::uint8_t> bytes;
    std::FILE *file = std::fopen(path, "rb");
    if (!file)
        return bytes;
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        bytes.clear();
    return bytes;
}

bool writeWholeFile(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// ---- building and writing the output ----------------------------------------------------

bool listOfTracksContainsTrack(std::uint32_t source, std::uint32_t track) {
    for (const auto &[s, t] : listOfTracks)
        if (s == source && t == track)
            return true;
    return false;
}

// Scales the first video track's matrix so the movie box becomes widthBox by heightBox.
void changeMovieBox(Movie &movie) {
    if (widthBox == -1)
        return;
    const MovieRect box = movie.box();
    const int boxWidth = box.right - box.left;
    const int boxHeight = box.bottom - box.top;
    if (boxWidth <= 0 || boxHeight <= 0)
        return;
    for (std::size_t t = 0; t < movie.trackCount(); ++t) {
        const OSType type = movie.track(t).mediaType();
        if (type != fourCharCode("moov") && type != fourCharCode("MPEG") &&
            type != fourCharCode("vide"))
            continue;
        const double sx = double(widthBox) / boxWidth;
        const double sy = double(heightBox) / boxHeight;
        auto X2Fix = [](double value) { return static_cast<std::int32_t>(value * 65536.0); };
        MovieMatrix m = movie.track(t).matrix();
        // Scale about the origin: the x column (a, c, tx) by sx, the y column (b, d, ty) by sy.
        for (int row = 0; row < 3; ++row) {
            m[static_cast<std::size_t>(row * 3)] =
                FixMul(m[static_cast<std::size_t>(row * 3)], X2Fix(sx));
            m[static_cast<std::size_t>(row * 3 + 1)] =
                FixMul(m[static_cast<std::size_t>(row * 3 + 1)], X2Fix(sy));
        }
        movie.track(t).setMatrix(m);
        return;
    }
}

int exportMode(Movie &movie, const MovieProgressProc &progress) {
    verbosePrintf("Creating flattened movie storage\n");
    ComponentDescription description{kMovieExportType, fourCharCode("MooV"), kAppleManufacturer,
                                     kCanMovieExportFiles, kCanMovieExportFiles};
    if (!videoManufacturer.empty())
        description.componentManufacturer = fourCharCode(padCode(videoManufacturer));
    std::unique_ptr<MovieExporter> exporter;
    if (!videoCodec.empty()) {
        const std::string code = padCode(videoCodec);
        description.componentSubType = fourCharCode(code);
        exporter = MovieExporter::open(findNextComponent(nullptr, description));
        if (!exporter) {
            infoPrintf("Component not found %s. Use -p for a list of subtypes.\n", code.c_str());
            return 1;
        }
    } else {
        exporter = MovieExporter::open(findNextComponent(nullptr, description));
        if (!exporter) {
            // No exporter of this manufacturer: there is nothing to export with.
            infoPrintf("Component not found %s:%s:%s. Use -p for a list of components.\n",
                       OSTypeToCString(description.componentType).c_str(),
                       OSTypeToCString(description.componentSubType).c_str(),
                       OSTypeToCString(description.componentManufacturer).c_str());
            return 1;
        }
        if (hasAtomContainer) {
            verbosePrintf("Setting atom\n");
            std::string why;
            const bool accepted = exporter->setSettingsFromAtomContainer(atomSettings, &why);
            atomSettings.clear();
            if (!accepted) {
                infoPrintf("Unable to set export settings\n");
                verbosePrintf("(%s)\n", why.c_str());
                return 1;
            }
        }
    }
    changeMovieBox(movie);
    const MovieStatus status = exporter->exportMovie(movie, *outputFilePath, progress);
    if (!status) {
        infoPrintf("\nExport failed: %s\n", status.message.c_str());
        return 1;
    }
    infoPrintf("\nDone\n");
    return 0;
}

int buildAndWrite() {
    // Movie time in the first source's unit: its edits (a sound's delay to the millisecond)
    // stay as they are, where the 600 units of a new movie would round them.
    std::unique_ptr<Movie> newMovie = Movie::newMovie(arrayOfMovies.front()->movie()->timeScale());

    // Track selection: the numbers refer to the tracks as opened, whatever is removed first.
    if (listOfTracks.empty()) {
        verbosePrintf("Adding all tracks to output file\n");
    } else {
        for (std::size_t s = 0; s < arrayOfMovies.size(); ++s) {
            Movie &source = *arrayOfMovies[s]->movie();
            const std::size_t count = source.trackCount();
            std::vector<bool> removed(count, false);
            for (std::size_t t = 0; t < count; ++t)
                if (!listOfTracksContainsTrack(static_cast<std::uint32_t>(s),
                                               static_cast<std::uint32_t>(t))) {
                    verbosePrintf("Removing track %u.%u\n", static_cast<unsigned>(s),
                                  static_cast<unsigned>(t));
                    removed[t] = true;
                }
            for (std::size_t t = count; t-- > 0;)
                if (removed[t])
                    source.removeTrack(t);
        }
    }
    std::size_t kept = 0;
    for (const auto &source : arrayOfMovies)
        kept += source->movie()->trackCount();
    if (kept == 0) {
        infoPrintf("No track to write: the track selection names no track of the sources\n");
        return 1;
    }
    for (std::size_t s = 0; s < arrayOfMovies.size(); ++s) {
        const Movie &source = *arrayOfMovies[s]->movie();
        if (source.trackCount() == 0)
            continue;
        const MovieStatus inserted = newMovie->insertMovieSegment(source, 0, source.duration(), 0);
        if (!inserted) {
            infoPrintf("Unable to add source #%u: %s\n", static_cast<unsigned>(s),
                       inserted.message.c_str());
            return 1;
        }
    }

    // The output: every writer makes its file unnamed in the output's folder and renames it
    // onto the path only when complete, so the file there stays whole until then (a failed or
    // killed write leaves it as it was). What can be checked before writing is checked here.
    const std::string &out = *outputFilePath;
    if (existsButNotRegular(out)) {
        infoPrintf("Output is not a regular file, it is not replaced: %s\n", out.c_str());
        return 1;
    }
    const std::string folder = folderOf(out);
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        infoPrintf("Invalid output path\n");
        verbosePrintf("(%s: %s)\n", folder.c_str(), std::strerror(errno));
        return 1;
    }

    MovieProgressPrinter printer(isTty, [](const char *text) { infoPrintf("%s", text); });
    const MovieProgressProc progress = [&printer](std::int32_t fraction) { printer(fraction); };

    int status = 0;
    if (createRefMovie) {
        verbosePrintf("Creating reference movie storage\n");
        changeMovieBox(*newMovie);
        const MovieStatus written = newMovie->writeReference(out);
        if (!written) {
            infoPrintf("Unable to create reference movie: %s\n", written.message.c_str());
            status = 1;
        }
    } else if (flattenMovie) {
        status = exportMode(*newMovie, progress);
    } else {
        verbosePrintf("Creating movie storage\n");
        changeMovieBox(*newMovie);
        const MovieStatus written = newMovie->writeSelfContained(out, progress);
        if (!written) {
            infoPrintf("\nUnable to write movie: %s\n", written.message.c_str());
            status = 1;
        } else {
            infoPrintf("\nDone\n");
        }
    }
    return status;
}

// ---- the run ----------------------------------------------------------------------------

// Reads the options in order; an option that ends the run gives its status.
std::optional<int> readOptions(int argc, char **argv) {
    int option = 0;
    // "+": stop at the first word that is not an option, as POSIX parsers do.
    while ((option = getopt(argc, argv, "+vi:o:t:ryfc:pm:qs:eb:")) != -1) {
        switch (option) {
        case 'v':
            verbose = true;
            break;
        case 'y':
            overwriteOutputFile = true;
            break;
        case 'e':
            outToStdout = true;
            break;
        case 'i': {
            std::unique_ptr<FVMovie> source = FVMovie::movieWithPath(optarg);
            if (!source) {
                verbosePrintf("Ignoring source, invalid path %s\n", optarg);
                break;
            }
            if (!source->openMovieSync()) {
                // Said always: a refused source is the run's failure.
                infoPrintf("Ignoring source, invalid movie %s (%s)\n", optarg,
                           source->openError().c_str());
                break;
            }
            const auto number = static_cast<unsigned>(arrayOfMovies.size());
            infoPrintf("Source #%u %s\n", number, optarg);
            // The other files the source's samples are read from, by its data references.
            for (const std::string &file : source->referencedFiles())
                infoPrintf("\treads %s\n", file.c_str());
            printMovieTrackDescription(source.get(), number);
            arrayOfMovies.push_back(std::move(source));
            break;
        }
        case 'o': {
            const std::string path = optarg;
            if (!isDirectory(folderOf(path))) {
                verbosePrintf("Invalid output path\n");
                return 1;
            }
            if (exists(path) && !overwriteOutputFile) {
                infoPrintf("Output file already exists\n");
                return 1;
            }
            if (existsButNotRegular(path)) {
                infoPrintf("Output is not a regular file, it is not replaced: %s\n", optarg);
                return 1;
            }
            outputFilePath = path;
            break;
        }
        case 't': {
            unsigned source = 0, track = 0;
            if (std::sscanf(optarg, "%u.%u", &source, &track) != 2) {
                infoPrintf("Invalid argument -t %s\n", optarg);
                return 1;
            }
            listOfTracks.emplace_back(source, track);
            break;
        }
        case 'b': {
            long width = 0, height = 0;
            if (std::sscanf(optarg, "%ld:%ld", &width, &height) != 2) {
                infoPrintf("Invalid argument -b %s\n", optarg);
                return 1;
            }
            widthBox = static_cast<std::int32_t>(width);
            heightBox = static_cast<std::int32_t>(height);
            break;
        }
        case 'c':
            videoCodec = std::string(optarg).substr(0, 4);
            flattenMovie = true;
            break;
        case 'm':
            videoManufacturer = std::string(optarg).substr(0, 4);
            flattenMovie = true;
            break;
        case 'f':
            flattenMovie = true;
            break;
        case 'r':
            createRefMovie = true;
            break;
        case 's': {
            if (!exists(optarg)) {
                verbosePrintf("Invalid settings file path\n");
                return 1;
            }
            struct stat info {};
            if (stat(optarg, &info) != 0 || !S_ISREG(info.st_mode) ||
                info.st_size > kMaxSettingsFileBytes) {
                infoPrintf("Invalid settings file %s: not a regular file of at most %ld bytes\n",
                           optarg, static_cast<long>(kMaxSettingsFileBytes));
                return 1;
            }
            flattenMovie = true;
            hasAtomContainer = true;
            atomSettings = readWholeFile(optarg);
            break;
        }
        case 'q': {
            if (!outputFilePath) {
                infoPrintf("-o argument is necessary and must come first\n");
                return 0;
            }
            auto container = createConfigurationFile();
            if (container && !writeWholeFile(*outputFilePath, *container)) {
                infoPrintf("Unable to write settings file %s: %s\n", outputFilePath->c_str(),
                           std::strerror(errno));
                std::remove(outputFilePath->c_str());
                return 1;
            }
            return 0;
        }
        case 'p':
            printComponents();
            return 0;
        default:
            printUsage();
            return 0;
        }
    }
    return std::nullopt;
}

int run(int argc, char **argv) {
    if (std::optional<int> status = readOptions(argc, argv))
        return *status;
    if (arrayOfMovies.empty()) {
        infoPrintf("No valid input\n");
        return 1;
    }
    if (!outputFilePath) {
        verbosePrintf("No output specified, nothing to do\n");
        return 0;
    }
    if (flattenMovie && createRefMovie) {
        infoPrintf("-f and -r cannot be specified at the same time\n");
        return 1;
    }
    // Writing over a source would lose it (a sound file or a re-encoded movie in its place) in
    // every mode, and the writers still read it while they write.
    // A reference movie reads its samples from other files: those are sources too.
    for (std::size_t s = 0; s < arrayOfMovies.size(); ++s) {
        if (sameFile(arrayOfMovies[s]->path(), *outputFilePath)) {
            infoPrintf("Output file is source #%u, it is not overwritten\n",
                       static_cast<unsigned>(s));
            return 1;
        }
        const Movie &movie = *arrayOfMovies[s]->movie();
        for (std::size_t t = 0; t < movie.trackCount(); ++t) {
            const std::string &media = movie.track(t).sourcePath();
            if (!media.empty() && sameFile(media, *outputFilePath)) {
                infoPrintf("Output file holds the media of source #%u (track %u), it is not "
                           "overwritten\n",
                           static_cast<unsigned>(s), static_cast<unsigned>(t + 1));
                return 1;
            }
        }
    }
    return buildAndWrite();
}

} // namespace

int main(int argc, char **argv) {
    const std::string self = argc > 0 && argv[0] ? argv[0] : "trakmill";
    programName =
        self.substr(self.find_last_of('/') == std::string::npos ? 0 : self.find_last_of('/') + 1)
            .substr(0, 1023);
    if (argc < 2) {
        printUsage();
        return 0;
    }
    isTty = isatty(STDOUT_FILENO) == 1;
    // Standard error carries trakmill's own messages and progress lines only.
    av_log_set_level(AV_LOG_QUIET);
    int status = 1;
    // Nothing the toolbox or the standard library throws (no memory, a file system error)
    // may end the program without a word: it is a failure like the others.
    try {
        status = run(argc, argv);
    } catch (const std::exception &error) {
        infoPrintf("Failed: %s\n", error.what());
        status = 1;
    } catch (...) {
        infoPrintf("Failed: unexpected error\n");
        status = 1;
    }
    // The file type of the output: QuickTime movie (also after a failure, failures ignored).
    if (outputFilePath) {
        static const char type[] = "video/quicktime";
        (void)setxattr(outputFilePath->c_str(), "user.mime_type", type, sizeof type - 1, 0);
    }
    infoFlush();
    std::fflush(stdout);
    return status;
}

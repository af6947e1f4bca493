// fluxaro's command line, read with QCommandLineParser before anything starts: which front runs
// (the window, --batch, --import, --check-archive, --check-update, --facts, --help, --version) with
// its options and sources, or a usage error with its words (exit 2). The reading is a pure function
// of the arguments; only commandLinePrepareDestination touches the disk.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

/// The options of `fluxaro --batch`; what is not given comes from the settings.
struct headlessOptions {
    QStringList sources;
    QString destination; ///< empty: the stored default destination
    std::optional<int32_t> format;
    std::optional<int32_t> mode;
    std::optional<QString> proresType; ///< "ap4h", "apch", "apcs", "apco"
    bool surround = false;
    bool noJoin = false;         ///< --no-join: the pieces of spanned recordings stay apart
    std::optional<bool> replace; ///< --replace / --keep
    bool verbose = false;        ///< --verbose (or --debug): the detailed log on the terminal
};

/// The options of `fluxaro --import CARD --archive FOLDER...` and `--check-archive FOLDER`.
struct importOptions {
    QString card;         ///< --import: the card's root
    QStringList archives; ///< --import: every --archive, in order; --check-archive: the copy
    bool convert = false; ///< --convert: the batch converts the first archive's verified copy
};

/// What the command line asks for.
enum class cliFront {
    window,       ///< `fluxaro [FILE...]`
    batch,        ///< `fluxaro --batch SOURCE...`: the headless front
    checkUpdate,  ///< `fluxaro --check-update [--install]`
    facts,        ///< `fluxaro --facts`
    verify,       ///< `fluxaro --verify SOURCE OUTPUT [--format F] [--mode M]`
    import,       ///< `fluxaro --import CARD --archive FOLDER [--archive FOLDER2]`
    checkArchive, ///< `fluxaro --check-archive FOLDER`
    help,         ///< -h, --help: the usage on standard output, exit 0
    version,      ///< -V, --version: the version on standard output, exit 0
    usageError,   ///< the words on standard error with the synopsis, exit 2
};

/// Why a command line is refused.
enum class cliFault {
    none,
    unknownOption,      ///< an option fluxaro does not know ("--bogus")
    missingValue,       ///< an option that takes a value ends the line ("--dest")
    badValue,           ///< a value that is not one of the option's names, or a flag given one
    misplacedOption,    ///< an option of another front ("--dest" without "--batch")
    conflictingOptions, ///< two fronts, or --replace with --keep
    strayArgument,      ///< a source given to --check-update or --facts; --verify without two;
                        ///< --import without one card, --check-archive without one folder
    noSource,           ///< --batch without a source
    noArchive,          ///< --import without --archive
    destinationRefused, ///< --dest is a file, or a folder that can't be made
};

/// The command line read.
struct commandLine {
    cliFront front = cliFront::window;
    bool debug = false;         ///< --debug (FLUXARO_DEBUG=1 is read by main)
    bool install = false;       ///< --install, with --check-update
    bool platformGiven = false; ///< Qt's -platform for the window: a display of its own
    QStringList sources;        ///< the window's FILE... (the batch's are in `batch`)
    headlessOptions batch;      ///< --batch: its sources and options; --verify: its format and
                                ///< mode, and the source and the output as its two sources;
                                ///< --import --convert: the batch's options (no sources)
    importOptions cardImport;   ///< --import and --check-archive
    cliFault fault = cliFault::none;
    QString faultStr; ///< the refusal in words, e.g. "unknown option '--bogus'"
};

/// Reads the arguments as typed, the program's name first. "--" ends the options: what follows
/// are sources. Qt's own options of a window (-platform, -style...) are taken for the window
/// and refused with the other fronts.
commandLine commandLineParse(const QStringList &arguments);

/// The batch's --dest before anything runs: a missing folder is made with its parents (mkdir -p);
/// a file, or a folder that can't be made, turns the line into a usage error. Nothing to do for
/// another front or without --dest.
void commandLinePrepareDestination(commandLine &line);

/// The synopsis: the first lines of the usage, printed after a usage error.
QString commandLineSynopsisStr();

/// The usage (--help): the synopsis, what fluxaro does and every option.
QString commandLineUsageStr();

#include "commandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <array>
#include <cstdint>

namespace {

/// Which fronts an option belongs to.
enum class optionScope { any, batch, batchOrVerify, checkUpdate, import, window };

/// One option of the command line: its names (the first is the one said in messages), whether it
/// takes a value, and the front it belongs to.
struct optionEntry {
    const char *name;
    const char *shortName; ///< empty: none
    bool takesValue;
    optionScope scope;
};

// fluxaro's own options, then the options QApplication reads for a window (they reach Qt
// through argv; here they are only recognised, so their values are not taken for sources).
constexpr std::array options = {
    optionEntry{"batch", "", false, optionScope::any},
    optionEntry{"check-update", "", false, optionScope::any},
    optionEntry{"facts", "", false, optionScope::any},
    optionEntry{"verify", "", false, optionScope::any},
    optionEntry{"import", "", false, optionScope::any},
    optionEntry{"check-archive", "", false, optionScope::any},
    optionEntry{"help", "h", false, optionScope::any},
    optionEntry{"version", "V", false, optionScope::any},
    optionEntry{"debug", "", false, optionScope::any},
    optionEntry{"install", "", false, optionScope::checkUpdate},
    optionEntry{"archive", "", true, optionScope::import},
    optionEntry{"convert", "", false, optionScope::import},
    optionEntry{"dest", "", true, optionScope::batch},
    optionEntry{"format", "", true, optionScope::batchOrVerify},
    optionEntry{"mode", "", true, optionScope::batchOrVerify},
    optionEntry{"prores", "", true, optionScope::batch},
    optionEntry{"surround", "", false, optionScope::batch},
    optionEntry{"no-join", "", false, optionScope::batch},
    optionEntry{"replace", "", false, optionScope::batch},
    optionEntry{"keep", "", false, optionScope::batch},
    optionEntry{"verbose", "", false, optionScope::batch},
    optionEntry{"platform", "", true, optionScope::window},
    optionEntry{"platformpluginpath", "", true, optionScope::window},
    optionEntry{"platformtheme", "", true, optionScope::window},
    optionEntry{"plugin", "", true, optionScope::window},
    optionEntry{"qwindowgeometry", "", true, optionScope::window},
    optionEntry{"qwindowicon", "", true, optionScope::window},
    optionEntry{"qwindowtitle", "", true, optionScope::window},
    optionEntry{"session", "", true, optionScope::window},
    optionEntry{"display", "", true, optionScope::window},
    optionEntry{"geometry", "", true, optionScope::window},
    optionEntry{"style", "", true, optionScope::window},
    optionEntry{"stylesheet", "", true, optionScope::window},
    optionEntry{"qmljsdebugger", "", true, optionScope::window},
    optionEntry{"reverse", "", false, optionScope::window},
    optionEntry{"widgetcount", "", false, optionScope::window},
};

/// An option as it is written: "--dest" for fluxaro's, "-platform" for Qt's.
QString spelled(const optionEntry &option) {
    return QLatin1String(option.scope == optionScope::window ? "-" : "--") +
           QLatin1String(option.name);
}

const optionEntry *optionNamed(const QString &name) {
    for (const optionEntry &option : options) {
        if (name == QLatin1String(option.name) ||
            (*option.shortName != '\0' && name == QLatin1String(option.shortName))) {
            return &option;
        }
    }
    return nullptr;
}

commandLine refusal(cliFault fault, const QString &words) {
    commandLine line;
    line.front = cliFront::usageError;
    line.fault = fault;
    line.faultStr = words;
    return line;
}

/// The argument as typed that carries the option `name` (up to an "=" of its value).
QString typedOption(const QStringList &arguments, const QString &name) {
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--")) {
            break;
        }
        const QString bare = arg.section(QLatin1Char('='), 0, 0);
        if (bare == QLatin1Char('-') + name || bare == QLatin1String("--") + name) {
            return bare;
        }
    }
    return QLatin1String("--") + name;
}

/// QCommandLineParser's refusal as a typed fault with this program's words.
commandLine parseRefusal(const QCommandLineParser &parser, const QStringList &arguments) {
    if (!parser.unknownOptionNames().isEmpty()) {
        return refusal(cliFault::unknownOption,
                       QStringLiteral("unknown option '%1'")
                           .arg(typedOption(arguments, parser.unknownOptionNames().first())));
    }
    // An option that takes a value takes the next argument whatever it is, so a value is
    // missing only after the last one.
    const QString last = arguments.size() > 1 ? arguments.last() : QString();
    const qsizetype dashes = last.startsWith(QLatin1String("--")) ? 2 : 1;
    const optionEntry *option =
        last.startsWith(QLatin1Char('-')) ? optionNamed(last.mid(dashes)) : nullptr;
    if (option != nullptr && option->takesValue) {
        return refusal(cliFault::missingValue, QStringLiteral("%1 needs a value").arg(last));
    }
    // Left: a value given to a switch ("--batch=x").
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--")) {
            break;
        }
        if (arg.startsWith(QLatin1Char('-')) && arg.contains(QLatin1Char('='))) {
            return refusal(
                cliFault::badValue,
                QStringLiteral("%1 takes no value").arg(arg.section(QLatin1Char('='), 0, 0)));
        }
    }
    return refusal(cliFault::badValue, parser.errorText());
}

/// The front the switches choose; two of them are a usage error.
commandLine frontOf(const QCommandLineParser &parser) {
    commandLine line;
    if (parser.isSet(QStringLiteral("help"))) {
        line.front = cliFront::help;
        return line;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        line.front = cliFront::version;
        return line;
    }
    QStringList chosen;
    for (const char *name :
         {"batch", "check-update", "facts", "verify", "import", "check-archive"}) {
        if (parser.isSet(QLatin1String(name))) {
            chosen << QLatin1String("--") + QLatin1String(name);
        }
    }
    if (chosen.size() > 1) {
        return refusal(cliFault::conflictingOptions,
                       QStringLiteral("%1 and %2 exclude each other").arg(chosen[0], chosen[1]));
    }
    line.front = chosen.isEmpty()                                ? cliFront::window
                 : chosen[0] == QLatin1String("--batch")         ? cliFront::batch
                 : chosen[0] == QLatin1String("--check-update")  ? cliFront::checkUpdate
                 : chosen[0] == QLatin1String("--verify")        ? cliFront::verify
                 : chosen[0] == QLatin1String("--import")        ? cliFront::import
                 : chosen[0] == QLatin1String("--check-archive") ? cliFront::checkArchive
                                                                 : cliFront::facts;
    return line;
}

/// An option of another front than the one chosen, in words; empty when all belong.
QString misplacedOption(const QCommandLineParser &parser, cliFront front) {
    // An import that converts its copy takes the batch's options.
    const bool converting = front == cliFront::import && parser.isSet(QStringLiteral("convert"));
    for (const QString &name : parser.optionNames()) {
        const optionEntry *option = optionNamed(name);
        if (option == nullptr) {
            continue;
        }
        switch (option->scope) {
        case optionScope::any:
            break;
        case optionScope::batch:
            if (front != cliFront::batch && !converting) {
                return QStringLiteral("%1 goes with --batch or --import --convert")
                    .arg(spelled(*option));
            }
            break;
        case optionScope::batchOrVerify:
            if (front != cliFront::batch && front != cliFront::verify && !converting) {
                return QStringLiteral("%1 goes with --batch or --verify").arg(spelled(*option));
            }
            break;
        case optionScope::checkUpdate:
            if (front != cliFront::checkUpdate) {
                return QStringLiteral("%1 goes with --check-update").arg(spelled(*option));
            }
            break;
        case optionScope::import:
            if (front != cliFront::import) {
                return QStringLiteral("%1 goes with --import").arg(spelled(*option));
            }
            break;
        case optionScope::window:
            if (front != cliFront::window) {
                return QStringLiteral("%1 goes with the window, not with --batch, --import, "
                                      "--check-archive, --check-update, --facts or --verify")
                    .arg(spelled(*option));
            }
            break;
        }
    }
    return {};
}

/// A value among names, as its index; -1 when it is none of them.
int32_t indexOf(const QString &value, const QStringList &names) {
    return static_cast<int32_t>(names.indexOf(value));
}

/// The format and mode options (--batch and --verify); a usage error for a value that is none
/// of the option's names.
commandLine formatModeOf(const QCommandLineParser &parser, commandLine line) {
    headlessOptions &batch = line.batch;
    if (parser.isSet(QStringLiteral("format"))) {
        const QString value = parser.value(QStringLiteral("format"));
        batch.format = indexOf(value, {"rewrap", "aic", "prores"});
        if (*batch.format < 0) {
            return refusal(cliFault::badValue, QStringLiteral("unknown format '%1'").arg(value));
        }
    }
    if (parser.isSet(QStringLiteral("mode"))) {
        const QString value = parser.value(QStringLiteral("mode"));
        batch.mode = indexOf(value, {"normal", "half", "slow"});
        if (*batch.mode < 0) {
            return refusal(cliFault::badValue, QStringLiteral("unknown mode '%1'").arg(value));
        }
    }
    return line;
}

/// The batch's options (--batch, and --import --convert); a usage error for a value that is none
/// of the option's names.
commandLine batchOptionsOf(const QCommandLineParser &parser, commandLine line) {
    line = formatModeOf(parser, line);
    if (line.front == cliFront::usageError) {
        return line;
    }
    headlessOptions &batch = line.batch;
    batch.sources = parser.positionalArguments();
    batch.destination = parser.value(QStringLiteral("dest"));
    if (parser.isSet(QStringLiteral("prores"))) {
        const QString value = parser.value(QStringLiteral("prores"));
        const int32_t v = indexOf(value, {"4444", "hq", "lt", "proxy"});
        if (v < 0) {
            return refusal(cliFault::badValue,
                           QStringLiteral("unknown ProRes variant '%1'").arg(value));
        }
        batch.proresType = QStringList{"ap4h", "apch", "apcs", "apco"}.at(v);
    }
    const bool replace = parser.isSet(QStringLiteral("replace"));
    const bool keep = parser.isSet(QStringLiteral("keep"));
    if (replace && keep) {
        return refusal(cliFault::conflictingOptions,
                       QStringLiteral("--replace and --keep exclude each other"));
    }
    if (replace || keep) {
        batch.replace = replace;
    }
    batch.surround = parser.isSet(QStringLiteral("surround"));
    batch.noJoin = parser.isSet(QStringLiteral("no-join"));
    // --debug shows the detailed log on the batch's terminal too.
    batch.verbose = parser.isSet(QStringLiteral("verbose")) || line.debug;
    return line;
}

/// The batch's sources and options; a usage error without a source.
commandLine batchOf(const QCommandLineParser &parser, commandLine line) {
    line = batchOptionsOf(parser, line);
    if (line.front != cliFront::usageError && line.batch.sources.isEmpty()) {
        return refusal(cliFault::noSource, QStringLiteral("no source given"));
    }
    return line;
}

} // namespace

commandLine commandLineParse(const QStringList &arguments) {
    QCommandLineParser parser;
    // "-platform" is one option, as Qt reads it, not the letters p, l, a...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const optionEntry &option : options) {
        QStringList names{QLatin1String(option.name)};
        if (*option.shortName != '\0') {
            names.prepend(QLatin1String(option.shortName));
        }
        parser.addOption(option.takesValue ? QCommandLineOption(names, {}, QStringLiteral("value"))
                                           : QCommandLineOption(names));
    }
    if (!parser.parse(arguments)) {
        return parseRefusal(parser, arguments);
    }
    commandLine line = frontOf(parser);
    if (line.front == cliFront::usageError || line.front == cliFront::help ||
        line.front == cliFront::version) {
        return line;
    }
    if (const QString misplaced = misplacedOption(parser, line.front); !misplaced.isEmpty()) {
        return refusal(cliFault::misplacedOption, misplaced);
    }
    line.debug = parser.isSet(QStringLiteral("debug"));
    line.install = parser.isSet(QStringLiteral("install"));
    line.platformGiven = parser.isSet(QStringLiteral("platform"));
    switch (line.front) {
    case cliFront::window:
        line.sources = parser.positionalArguments();
        return line;
    case cliFront::batch:
        return batchOf(parser, line);
    case cliFront::verify:
        if (parser.positionalArguments().size() != 2) {
            return refusal(cliFault::strayArgument,
                           QStringLiteral("--verify takes a source and an output"));
        }
        line.batch.sources = parser.positionalArguments();
        return formatModeOf(parser, line);
    case cliFront::import:
        if (parser.positionalArguments().size() != 1) {
            return refusal(cliFault::strayArgument, QStringLiteral("--import takes one card"));
        }
        line.cardImport.card = parser.positionalArguments().first();
        line.cardImport.archives = parser.values(QStringLiteral("archive"));
        if (line.cardImport.archives.isEmpty()) {
            return refusal(cliFault::noArchive,
                           QStringLiteral("--import needs an --archive folder"));
        }
        line.cardImport.convert = parser.isSet(QStringLiteral("convert"));
        if (line.cardImport.convert) {
            line = batchOptionsOf(parser, line);
            line.batch.sources.clear(); // the copy, once made
        }
        return line;
    case cliFront::checkArchive:
        if (parser.positionalArguments().size() != 1) {
            return refusal(cliFault::strayArgument,
                           QStringLiteral("--check-archive takes one folder"));
        }
        line.cardImport.archives = parser.positionalArguments();
        return line;
    case cliFront::checkUpdate:
    case cliFront::facts:
    case cliFront::help:
    case cliFront::version:
    case cliFront::usageError:
        if (!parser.positionalArguments().isEmpty()) {
            return refusal(cliFault::strayArgument, QStringLiteral("%1 takes no source: '%2'")
                                                        .arg(line.front == cliFront::facts
                                                                 ? QStringLiteral("--facts")
                                                                 : QStringLiteral("--check-update"),
                                                             parser.positionalArguments().first()));
        }
        return line;
    }
    return line;
}

void commandLinePrepareDestination(commandLine &line) {
    const QString destination = line.batch.destination;
    const bool converting = line.front == cliFront::import && line.cardImport.convert;
    if ((line.front != cliFront::batch && !converting) || destination.isEmpty()) {
        return;
    }
    const QFileInfo info(destination);
    if (info.exists() && !info.isDir()) {
        line = refusal(cliFault::destinationRefused,
                       QStringLiteral("--dest '%1' is not a folder").arg(destination));
    } else if (!info.exists() && !QDir().mkpath(info.absoluteFilePath())) {
        line = refusal(cliFault::destinationRefused,
                       QStringLiteral("--dest '%1' can't be made").arg(destination));
    }
}

QString commandLineSynopsisStr() {
    return QStringLiteral(
        "usage: fluxaro [--debug] [FILE...]\n"
        "       fluxaro --batch SOURCE... [--dest DIR] [--format rewrap|aic|prores]\n"
        "               [--mode normal|half|slow] [--prores 4444|hq|lt|proxy] [--surround]\n"
        "               [--no-join] [--replace|--keep] [--verbose] [--debug]\n"
        "       fluxaro --check-update [--install] [--debug]\n"
        "       fluxaro --verify SOURCE OUTPUT [--format rewrap|aic|prores]\n"
        "               [--mode normal|half|slow]\n"
        "       fluxaro --import CARD --archive FOLDER [--archive FOLDER2] [--debug]\n"
        "               [--convert [--dest DIR] [--format ...] [the batch's options]]\n"
        "       fluxaro --check-archive FOLDER\n"
        "       fluxaro --facts | --help | --version\n");
}

QString commandLineUsageStr() {
    return commandLineSynopsisStr() +
           QStringLiteral(
               "\n"
               "Converts camcorder recordings (AVCHD and other movie files) into QuickTime\n"
               "movies named after their recording date, in the folder \"fluxaro events\" of\n"
               "the destination.\n"
               "\n"
               "  FILE...        sources (files or folders) for the window's batch\n"
               "  --batch        convert the sources without a window, then exit:\n"
               "                 0 all converted, 1 any refused, skipped or failed, 2 usage\n"
               "  --dest DIR     destination folder, made when missing; a file is refused\n"
               "                 (default: the settings' destination)\n"
               "  --format rewrap|aic|prores        output format\n"
               "  --mode normal|half|slow           frame-rate mode\n"
               "  --prores 4444|hq|lt|proxy         ProRes variant\n"
               "  --surround     keep multichannel sound\n"
               "  --no-join      convert the pieces of a spanned recording one by one\n"
               "  --replace, --keep                 answer for outputs that exist already\n"
               "  --verbose      with --batch: show the detailed log on the terminal too\n"
               "  --check-update look for a newer version: 0 up to date, 1 offered,\n"
               "                 2 no network or unreadable answer\n"
               "  --install      with --check-update: download and install it: 0 installed,\n"
               "                 1 nothing offered, 2 failure\n"
               "  --facts        print where logs, settings and resources are, then exit\n"
               "  --verify SOURCE OUTPUT            check that OUTPUT is SOURCE converted\n"
               "                 with --format and --mode (rewrap, normal by default) and\n"
               "                 print the verdict: 0 it holds, 1 it does not, 2 usage\n"
               "  --import CARD  copy every file of the card into a folder of its own in each\n"
               "                 archive, each read back from the disk and its xxHash64\n"
               "                 checked, with an ASC MHL manifest; \"Safe to format\" only\n"
               "                 when every file is verified in every archive: 0 safe,\n"
               "                 1 not safe; a stopped import resumes where it was\n"
               "  --archive FOLDER                  with --import: an archive (once or twice)\n"
               "  --convert      with --import: then convert the first archive's verified copy\n"
               "                 as --batch does (its options apply); the card can go\n"
               "  --check-archive FOLDER            read a card's copy again against its\n"
               "                 manifests: 0 intact, 1 changed, missing or unlisted files\n"
               "  --debug        write the debug lines to the log (also FLUXARO_DEBUG=1);\n"
               "                 with --batch, show the log on the terminal too\n"
               "  -h, --help     print this text and exit\n"
               "  -V, --version  print the version and exit\n"
               "  -- SOURCE...   what follows are sources, even names that start with -\n"
               "\n"
               "An unknown option, or an option of another mode, is a usage error (exit 2).\n"
               "Logs: $XDG_STATE_HOME/Fluxaro/Details.log and Resume.log. See fluxaro(1).\n");
}

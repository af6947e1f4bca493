// trakmill as Fluxaro and people run it: options in order, messages on their streams, exit
// statuses, the three storage modes and the export with stored settings.
#include "sharedTestData.h"
#include "testMedia.h"

#include "toolbox/exportSettings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace testmedia;

namespace {

const std::string kTrakmill = FLUXARO_TOOLS_DIR "/trakmill";

// Clips shared by every test: made once, small and short.
class Trakmill : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new TempDir;
        // Video and sound, as Fluxaro's master: H.264 and 48 kHz PCM in a QuickTime file.
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                           "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 "
                           "-c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p "
                           "-c:a pcm_s16le -ac 2",
                           *media / "av.mov"));
        // Three tracks: video and two sound tracks.
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                           "-f lavfi -i sine=sample_rate=48000:duration=1 "
                           "-f lavfi -i sine=frequency=880:sample_rate=48000:duration=1 "
                           "-map 0 -map 1 -map 2 -c:v mjpeg -c:a pcm_s16le",
                           *media / "three.mov"));
        std::ofstream(*media / "garbage.mov") << "this is no movie at all\n";
        writeSettings(*media / "apch.settings", proresHq());
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }

    static toolbox::MovieExportSettings proresHq() {
        toolbox::MovieExportSettings s;
        s.codecType = toolbox::fourCharCode("apch");
        s.soundFormat = toolbox::fourCharCode("twos");
        s.sampleRate = 48000;
        s.sampleBits = 16;
        return s;
    }
    static void writeSettings(const std::string &path, const toolbox::MovieExportSettings &s) {
        const auto bytes = toolbox::movieExportSettingsToAtomContainer(s);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    RunResult trakmill(const std::vector<std::string> &args, RunOptions options = {}) {
        if (options.folder.empty())
            options.folder = work.path().string();
        return run(kTrakmill, args, options);
    }
    static std::string source(const char *name) { return *media / name; }

    static TempDir *media;
    TempDir work;
};

TempDir *Trakmill::media = nullptr;

std::string usageText() {
    return "trakmill version 1.1.1\n"
           "Usage:\n"
           "\t[-v]: verbose. Should be first argument.\n"
           "\t[-y]: overwrite output file. Must be specified before -o.\n"
           "\t-i: input file.\n"
           "\t-o: output file.\n"
           "\t[-e]: print to stdout rather than stderr.\n"
           "\t[-q]: create a configuration file. Requires -o (but not -i).\n"
           "\t[-c]: set video codec (subtype). Implies -f. Doesn't work well :(\n"
           "\t[-m]: set video codec manufacturer (default: appl). Requires -c (or -a).\n"
           "\t[-a]: set configuration file. You must not set the -c argument. Implies -f.\n"
           "\t[-p]: print components list.\n"
           "\t[-r]: create reference movie storage. No encoding allowed.\n"
           "\t[-f]: flattens movie.\n"
           "\t[-t]: source.trackNumber add this track to output file. If no -t parameter is "
           "specified all the tracks are added.\n"
           "\t[-b]: width:height set movie box in px. Source file must have 1 video track max.\n"
           "\n"
           "*** Examples:\n"
           "Export first track of inputmovie to output.mov as a reference file\n"
           "\ttrakmill -v -y -i inputmovie.mov -o ~/Desktop/output.mov -r -t 0.0\n"
           "Create settings file\n"
           "\ttrakmill -v -y -o ~/Desktop/settings.bin -q\n"
           "Export inputmovie to output.mov using settings.bin\n"
           "\ttrakmill -v -y -o ~/Desktop/output.mov -i inputmovie.mov -a settings.bin\n"
           "Export inputmovie to a wav sound file\n"
           "\ttrakmill -v -y -o ~/Desktop/output.wav -i inputmovie.mov -c WAVE -m soun\n"
           "\n";
}

RunOptions withInput(std::string input) {
    RunOptions options;
    options.input = std::move(input);
    return options;
}

RunOptions onTerminal() {
    RunOptions options;
    options.stdoutIsTerminal = true;
    return options;
}

RunOptions fileSizeLimit(long long bytes) {
    RunOptions options;
    options.fileSizeLimit = bytes;
    return options;
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

} // namespace

// ---- the command line -------------------------------------------------------------------

TEST_F(Trakmill, UsageForNoArgumentsAndUnknownOptions) {
    RunResult r = trakmill({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, usageText());
    // -a is named by the usage text but is no option: usage again, after getopt's complaint.
    writeSettings(work / "s.bin", proresHq());
    r = trakmill({"-a", "s.bin"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, usageText());
    EXPECT_TRUE(contains(r.err, "invalid option")) << r.err;
    // An option without its argument.
    r = trakmill({"-i"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, usageText());
}

TEST_F(Trakmill, OutputPathNeedsAFolderPart) {
    RunResult r = trakmill({"-v", "-i", source("av.mov"), "-o", "out.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Invalid output path\n"));
    // The message is verbose only.
    r = trakmill({"-i", source("av.mov"), "-o", "out.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(contains(r.err, "Invalid output path"));
    // A missing folder.
    r = trakmill({"-v", "-i", source("av.mov"), "-o", work / "missing/out.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Invalid output path\n"));
    // ./out.mov is accepted (the run then goes on to write it).
    r = trakmill({"-i", source("av.mov"), "-o", "./out.mov", "-r"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Trakmill, OverwriteMustComeBeforeOutput) {
    std::ofstream(work / "out.mov") << "old";
    RunResult r = trakmill({"-i", source("av.mov"), "-o", "./out.mov", "-y", "-r"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Output file already exists\n"));
    r = trakmill({"-i", source("av.mov"), "-y", "-o", "./out.mov", "-r"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Trakmill, SourcesAreNumberedAndDescribedInOptionOrder) {
    // -v after -i: the source line, no track lines.
    RunResult r = trakmill({"-i", source("av.mov"), "-v"});
    EXPECT_TRUE(contains(r.err, "Source #0 " + source("av.mov") + "\n"));
    EXPECT_FALSE(contains(r.err, "\tTrack #"));
    EXPECT_TRUE(contains(r.err, "No output specified, nothing to do\n"));
    EXPECT_EQ(r.status, 0);
    // -v first: one line per track; a missing first source takes no number.
    r = trakmill(
        {"-v", "-i", work / "missing.mov", "-i", source("garbage.mov"), "-i", source("three.mov")});
    EXPECT_TRUE(contains(r.err, "Ignoring source, invalid path " + work / "missing.mov" + "\n"));
    EXPECT_TRUE(contains(r.err, "Ignoring source, invalid movie " + source("garbage.mov") + " (\"" +
                                    source("garbage.mov") + "\" is not a movie)\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "Source #0 " + source("three.mov") + "\n"));
    EXPECT_TRUE(contains(r.err, "\tTrack #0.0, type=video, duration=1.000s, abr="));
    EXPECT_TRUE(contains(r.err, "\tTrack #0.1, type=sound, duration=1.000s, abr=768.000kbps\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "\tTrack #0.2, type=sound"));
    // Without any valid source: the refusal says why, verbose or not.
    r = trakmill({"-i", source("garbage.mov"), "-o", "./x.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Ignoring source, invalid movie " + source("garbage.mov") + " (\"" +
                         source("garbage.mov") + "\" is not a movie)\nNo valid input\n");
}

TEST_F(Trakmill, ConflictingModesAreRefused) {
    for (const std::vector<std::string> &flags :
         {std::vector<std::string>{"-r", "-s", source("apch.settings")},
          std::vector<std::string>{"-f", "-r"}, std::vector<std::string>{"-r", "-m", "appl"}}) {
        std::vector<std::string> args{"-i", source("av.mov"), "-o", "./out.mov"};
        args.insert(args.end(), flags.begin(), flags.end());
        RunResult r = trakmill(args);
        EXPECT_EQ(r.status, 1) << flags[0];
        EXPECT_TRUE(contains(r.err, "-f and -r cannot be specified at the same time\n"));
    }
}

TEST_F(Trakmill, BadTrackAndBoxArguments) {
    for (const char *bad : {"1", "a.b"}) {
        RunResult r = trakmill({"-t", bad});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("Invalid argument -t ") + bad + "\n");
    }
    RunResult r = trakmill({"-b", "640"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Invalid argument -b 640\n");
    // A settings file that is not there (verbose message).
    r = trakmill({"-v", "-s", work / "none.settings"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Invalid settings file path\n");
}

TEST_F(Trakmill, SettingsDialogNeedsOutputAndATerminal) {
    RunResult r = trakmill({"-q"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "-o argument is necessary and must come first\n");
    // Standard input is a pipe here: the dialog is cancelled and nothing is written.
    r = trakmill({"-v", "-y", "-o", "./settings.bin", "-q"}, withInput("1\n"));
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.err, "Error, or canceled\n"));
    EXPECT_FALSE(std::filesystem::exists(work / "settings.bin"));
}

TEST_F(Trakmill, SettingsDialogOnATerminalWritesSettingsThatExport) {
    RunOptions options;
    options.stdinIsTerminal = true;
    options.input = "apco\n160x120\n10\npcm16\n";
    RunResult r = trakmill({"-y", "-o", "./settings.bin", "-q"}, options);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(std::filesystem::exists(work / "settings.bin"));
    if (supportsUserXattr(work.path().string())) {
        EXPECT_EQ(xattr(work / "settings.bin", "user.mime_type"), "video/quicktime");
    }
    r = trakmill({"-s", "settings.bin", "-i", source("av.mov"), "-y", "-o", "./out.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(work / "out.mov", "v:0", "stream=codec_tag_string,width,height,r_frame_rate"),
              "codec_tag_string=apco|width=160|height=120|r_frame_rate=10/1");
    EXPECT_EQ(probe(work / "out.mov", "a:0", "stream=sample_rate"), "sample_rate=48000");
}

TEST_F(Trakmill, ComponentListEndsTheRun) {
    RunResult r = trakmill({"-p", "-i", source("av.mov")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.err, "*** Component ***\n\tName: QuickTime Movie\n\tType: spit\n"
                                "\tSubtype: MooV\n\tManufacturer: appl\n"));
    EXPECT_TRUE(contains(r.err, "\tName: Apple ProRes 422 HQ\n\tType: imco\n\tSubtype: apch\n"));
    EXPECT_FALSE(contains(r.err, "Source #"));
}

TEST_F(Trakmill, InfoGoesToStandardOutputAfterE) {
    RunResult r = trakmill(
        {"-e", "-i", source("av.mov"), "-s", source("apch.settings"), "-y", "-o", "./out.mov"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Source #0 "));
    EXPECT_TRUE(contains(r.out, "0%\n"));
    EXPECT_TRUE(contains(r.out, "\nDone\n"));
    EXPECT_TRUE(contains(r.err, "pourcentage    : 100.0\n"));
    EXPECT_FALSE(contains(r.err, "Source #"));
}

TEST_F(Trakmill, FirstProgressLineOnATerminal) {
    RunResult r =
        trakmill({"-i", source("av.mov"), "-s", source("apch.settings"), "-y", "-o", "./out.mov"},
                 onTerminal());
    EXPECT_EQ(r.status, 0) << r.err;
    const auto first = r.err.find("pourcentage    :   0.0\n");
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_FALSE(contains(r.err, "0%\n"));
}

// ---- writing ------------------------------------------------------------------------------

TEST_F(Trakmill, FluxaroExportIsProResHqWithTheSourcesSizeAndRate) {
    RunResult r = trakmill(
        {"-s", source("apch.settings"), "-i", source("av.mov"), "-y", "-o", work / "out.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The stream Fluxaro parses: source line, 0%, progress lines rising to 100, Done.
    EXPECT_EQ(r.err.rfind("Source #0 " + source("av.mov") + "\n0%\n", 0), 0u) << r.err;
    EXPECT_TRUE(contains(r.err, "pourcentage    : 100.0\n\nDone\n")) << r.err;
    long previous = -1;
    for (std::size_t at = r.err.find("pourcentage    : "); at != std::string::npos;
         at = r.err.find("pourcentage    : ", at + 1)) {
        const long percent = std::strtol(r.err.c_str() + at + 17, nullptr, 10);
        EXPECT_GE(percent, previous);
        previous = percent;
    }
    const std::string out = work / "out.mov";
    EXPECT_EQ(probe(out, "v:0", "stream=codec_tag_string,width,height,r_frame_rate"),
              "codec_tag_string=apch|width=320|height=240|r_frame_rate=25/1");
    EXPECT_EQ(probe(out, "a:0", "stream=codec_name,sample_rate,channels"),
              "codec_name=pcm_s16be|sample_rate=48000|channels=2");
    EXPECT_EQ(countFrames(out, "v:0"), 50);
    // The permissions of any new file, not those of a private temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(out).permissions()), 0666 & ~mask);
    if (supportsUserXattr(work.path().string())) {
        EXPECT_EQ(xattr(out, "user.mime_type"), "video/quicktime");
    }
    // Nothing but the movie in the folder: no temporary file left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 1);
}

TEST_F(Trakmill, BadSettingsFilesAreRefusedAndLeaveNoFile) {
    std::ofstream(work / "empty.settings").close();
    std::ofstream(work / "garbage.settings") << "garbage, no atoms in here\n";
    toolbox::MovieExportSettings aic = proresHq();
    aic.codecType = toolbox::fourCharCode("icod"); // no encoder for it
    writeSettings(work / "aic.settings", aic);
    for (const char *name : {"empty.settings", "garbage.settings", "aic.settings"}) {
        RunResult r =
            trakmill({"-s", work / name, "-i", source("av.mov"), "-y", "-o", "./out.mov"});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_TRUE(contains(r.err, "Unable to set export settings\n")) << name << r.err;
        EXPECT_FALSE(std::filesystem::exists(work / "out.mov")) << name;
    }
}

TEST_F(Trakmill, FullDiskFailsWithStatusOneAndLeavesNothing) {
    RunResult r =
        trakmill({"-s", source("apch.settings"), "-i", source("av.mov"), "-y", "-o", "./out.mov"},
                 fileSizeLimit(100000));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "Export failed: ")) << r.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 0);
    // The same for the self-contained writer.
    r = trakmill({"-i", source("av.mov"), "-y", "-o", "./out.mov"}, fileSizeLimit(20000));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 0);
}

TEST_F(Trakmill, FailedReferenceMovieIsAFailure) {
    // A transport stream has no QuickTime sample tables to refer to: status 1, a message, and
    // no empty file left at the output path.
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg2video",
                       work / "src.ts"));
    RunResult r = trakmill({"-i", work / "src.ts", "-r", "-y", "-o", "./ref.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Unable to create reference movie: ")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(work / "ref.mov"));
}

TEST_F(Trakmill, OutputThatIsASourceIsRefusedInEveryMode) {
    // Writing over a source loses it: "-c WAVE -m soun" would leave a sound file in its place,
    // an export a re-encoded copy. Every mode refuses, and the source stays as it was.
    std::filesystem::copy_file(source("av.mov"), work / "self.mov");
    const auto size = std::filesystem::file_size(work / "self.mov");
    const std::vector<std::vector<std::string>> modes = {
        {"-c", "WAVE", "-m", "soun"}, {"-s", source("apch.settings")}, {"-f"}, {"-r"}, {}};
    for (const auto &mode : modes) {
        std::vector<std::string> args = {"-i", "./self.mov", "-y", "-o", "./self.mov"};
        args.insert(args.end(), mode.begin(), mode.end());
        RunResult r = trakmill(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(contains(r.err, "Output file is source #0, it is not overwritten\n")) << r.err;
        EXPECT_EQ(std::filesystem::file_size(work / "self.mov"), size);
    }
    // The same file by another name (a hard link) is the source too.
    std::filesystem::create_hard_link(work / "self.mov", work / "link.mov");
    RunResult r =
        trakmill({"-i", "./self.mov", "-y", "-o", "./link.mov", "-c", "WAVE", "-m", "soun"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(countFrames(work / "self.mov", "v:0"), 50);
}

TEST_F(Trakmill, FileThatHoldsTheSamplesOfAReferenceSourceIsRefusedAsOutput) {
    // A reference movie given as source reads its samples from another movie: writing over
    // that one would lose the original, in every mode.
    std::filesystem::copy_file(source("av.mov"), work / "original.mov");
    const auto size = std::filesystem::file_size(work / "original.mov");
    RunResult r = trakmill({"-i", "./original.mov", "-r", "-o", "./ref.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto &mode : std::vector<std::vector<std::string>>{
             {"-f"}, {"-s", source("apch.settings")}, {"-c", "WAVE", "-m", "soun"}}) {
        std::vector<std::string> args = {"-i", "./ref.mov", "-y", "-o", "./original.mov"};
        args.insert(args.end(), mode.begin(), mode.end());
        r = trakmill(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(contains(r.err, "holds the media of source #0")) << r.err;
        EXPECT_EQ(std::filesystem::file_size(work / "original.mov"), size);
    }
    EXPECT_EQ(countFrames(work / "original.mov", "v:0"), 50);
}

TEST_F(Trakmill, OutputThatIsNotARegularFileIsNeverReplaced) {
    // The new file is renamed onto the output path: a device, a FIFO or a folder there would
    // become a movie. Each is refused, with -y too, and stays what it was.
    ASSERT_EQ(mkfifo((work / "fifo.mov").c_str(), 0600), 0);
    std::filesystem::create_directory(work / "folder.mov");
    for (const char *name : {"./fifo.mov", "./folder.mov"}) {
        RunResult r = trakmill({"-i", source("av.mov"), "-y", "-o", name, "-f"});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_TRUE(contains(r.err, "Output is not a regular file, it is not replaced")) << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(work / "fifo.mov"));
    EXPECT_TRUE(std::filesystem::is_directory(work / "folder.mov"));
    // As root /dev/null itself would be at risk; here it must simply be refused.
    RunResult r = trakmill({"-i", source("av.mov"), "-y", "-o", "/dev/null", "-f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(Trakmill, FailedOverwriteKeepsTheOldFile) {
    // -y replaces the old file only with a complete new one: a failed write leaves it whole.
    std::ofstream(work / "garbage.settings") << "not an atom container";
    std::ofstream(work / "out.mov") << "the old movie";
    RunResult r = trakmill(
        {"-s", work / "garbage.settings", "-i", source("av.mov"), "-y", "-o", "./out.mov"});
    EXPECT_EQ(r.status, 1);
    std::string text;
    std::getline(std::ifstream(work / "out.mov"), text);
    EXPECT_EQ(text, "the old movie");
    // A full disk during the write: the same.
    r = trakmill({"-i", source("av.mov"), "-y", "-o", "./out.mov"}, fileSizeLimit(20000));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::filesystem::file_size(work / "out.mov"), 13u);
}

TEST_F(Trakmill, SelectionOfNoExistingTrackIsAFailure) {
    // -t 7.0 names no track: a movie without tracks is no output.
    RunResult r = trakmill({"-i", source("av.mov"), "-t", "7.0", "-y", "-o", "./none.mov", "-f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(contains(r.err, "Done")) << r.err;
    EXPECT_TRUE(contains(r.err, "No track to write")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(work / "none.mov"));
}

TEST_F(Trakmill, BadTemporaryFolderOrSettingsFileIsAMessageNotACrash) {
    // TMPDIR missing, a file or empty: the export's scratch files go to /tmp instead.
    std::ofstream(work / "afile") << "x";
    for (const std::string &tmp : {std::string("TMPDIR=") + (work / "missing"),
                                   "TMPDIR=" + (work / "afile"), std::string("TMPDIR=")}) {
        RunOptions options;
        options.environment = {tmp};
        RunResult r = trakmill(
            {"-s", source("apch.settings"), "-i", source("av.mov"), "-y", "-o", "./out.mov"},
            options);
        EXPECT_EQ(r.status, 0) << tmp << r.err;
        EXPECT_EQ(countFrames(work / "out.mov", "v:0"), 50) << tmp;
    }
    // A settings file that never ends is refused, not read into memory.
    RunResult r = trakmill({"-s", "/dev/zero", "-i", source("av.mov"), "-y", "-o", "./zero.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Invalid settings file /dev/zero")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(work / "zero.mov"));
}

TEST_F(Trakmill, UndecodableSourceExportsNothing) {
    // A camcorder clip cut after its first packets: nothing decodes, so there is no movie.
    FLUXARO_NEEDS_SHARED_TEST_DATA();
    const std::string clip = fluxaro::test::sharedTestFile("canon-truncated.mts");
    RunResult r = trakmill({"-s", source("apch.settings"), "-i", clip, "-y", "-o", "./ct.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Export failed: Nothing could be decoded")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(work / "ct.mov"));
}

TEST_F(Trakmill, KilledExportLeavesNoPartialMovie) {
    // Fluxaro stops a run with SIGKILL: no half-written or empty movie may stay in the
    // destination, and a file that -y was to replace stays whole.
    RunOptions options;
    options.killWhenErrContains = "pourcentage    : ";
    RunResult r = trakmill(
        {"-s", source("apch.settings"), "-i", source("av.mov"), "-y", "-o", "./out.mov"}, options);
    EXPECT_EQ(r.status, -1); // killed
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 0);

    std::ofstream(work / "old.mov") << "the old movie";
    r = trakmill({"-s", source("apch.settings"), "-i", source("av.mov"), "-y", "-o", "./old.mov"},
                 options);
    EXPECT_EQ(r.status, -1);
    std::vector<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(work.path()))
        left.push_back(entry.path().filename().string() + ":" + std::to_string(entry.file_size()));
    EXPECT_EQ(left, std::vector<std::string>{"old.mov:13"});
}

TEST_F(Trakmill, TrackSelectionKeepsTheListedTracks) {
    // -t 0.1: the sound track alone, in the default (self-contained) mode.
    RunResult r = trakmill({"-i", source("av.mov"), "-t", "0.1", "-y", "-o", "./sound.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(work / "sound.mov", "v", "stream=codec_type"), "");
    EXPECT_EQ(probe(work / "sound.mov", "a", "stream=codec_type"), "codec_type=audio");
    // With three tracks the two others are named as removed.
    r = trakmill({"-v", "-i", source("three.mov"), "-t", "0.1", "-y", "-o", "./one.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Removing track 0.0\nRemoving track 0.2\n")) << r.err;
    EXPECT_FALSE(contains(r.err, "Removing track 0.1"));
    EXPECT_EQ(probe(work / "one.mov", "v", "stream=codec_type"), "");
    EXPECT_EQ(probe(work / "one.mov", "a", "stream=index,codec_type"), "index=0|codec_type=audio");
}

TEST_F(Trakmill, WaveExportHoldsTheSound) {
    // The usage text's example; -c keeps the first four characters of WAVEFORM.
    for (const char *codec : {"WAVE", "WAVEFORM"}) {
        RunResult r = trakmill(
            {"-v", "-y", "-o", "./out.wav", "-i", source("av.mov"), "-c", codec, "-m", "soun"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(probe(work / "out.wav", "a:0", "stream=codec_name,sample_rate,channels"),
                  "codec_name=pcm_s16le|sample_rate=48000|channels=2");
        EXPECT_NEAR(streamDuration(work / "out.wav", "a:0"), 2.0, 0.03);
    }
    RunResult r = trakmill({"-i", source("av.mov"), "-y", "-o", "./x.mov", "-c", "abc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Component not found abc . Use -p for a list of subtypes.\n"));
}

TEST_F(Trakmill, MovieBoxScalesTheExportedPicture) {
    RunResult r = trakmill({"-s", source("apch.settings"), "-i", source("av.mov"), "-b", "160:120",
                            "-y", "-o", "./small.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(work / "small.mov", "v:0", "stream=width,height"), "width=160|height=120");
    // The video track need not come first: here the sound track is track 0.
    ASSERT_TRUE(
        ffmpeg("-i '" + source("av.mov") + "' -map 0:a -map 0:v -c copy", work / "soundfirst.mov"));
    r = trakmill({"-s", source("apch.settings"), "-i", work / "soundfirst.mov", "-b", "640:480",
                  "-y", "-o", "./large.mov"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(work / "large.mov", "v:0", "stream=width,height"), "width=640|height=480");
}

TEST_F(Trakmill, ReferenceMovieReadsBackThroughTheSource) {
    RunResult r =
        trakmill({"-v", "-y", "-i", source("av.mov"), "-o", work / "ref.mov", "-r", "-t", "0.0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Removing track 0.1\nCreating reference movie storage\n"));
    EXPECT_FALSE(contains(r.err, "Done"));
    // Much smaller than the source: no sample was copied.
    EXPECT_LT(std::filesystem::file_size(work / "ref.mov"),
              std::filesystem::file_size(source("av.mov")) / 4);
    int status = 0;
    shell("ffmpeg -v error -enable_drefs 1 -i '" + work / "ref.mov" + "' -f null - 2>/dev/null",
          &status);
    EXPECT_EQ(status, 0);
}

// A source's data references: trakmill says which other files it reads, and one that leads to
// a FIFO (or anything but a movie file) is refused at once with its reason, never waited on or
// copied into the output.
TEST_F(Trakmill, SaysWhichFilesItReadsAndRefusesAReferenceToAFifo) {
    const std::string media = work / "media.mov";
    std::filesystem::copy_file(source("av.mov"), media);
    ASSERT_EQ(trakmill({"-y", "-i", media, "-o", work / "ref.mov", "-r"}).status, 0);
    RunResult flat = trakmill({"-y", "-i", work / "ref.mov", "-o", work / "flat.mov"});
    ASSERT_EQ(flat.status, 0) << flat.err;
    EXPECT_TRUE(contains(flat.err, "Source #0 " + (work / "ref.mov") + "\n\treads " + media + "\n"))
        << flat.err;

    std::filesystem::remove(media);
    ASSERT_EQ(mkfifo(media.c_str(), 0600), 0);
    RunResult refused = trakmill({"-y", "-i", work / "ref.mov", "-o", work / "fifo.mov"});
    EXPECT_NE(refused.status, 0);
    EXPECT_TRUE(contains(refused.err, "is a FIFO, not a regular file")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(work / "fifo.mov"));
}

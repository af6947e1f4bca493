// File operations over paths: delete (with a safety guard), create, move, list, measure, read and
// write. A path is text; most functions expand a leading "~" first; a missing (empty) argument
// gives the function's failure value at once; failures are return values, never exceptions.
// Failure lines always go to the log, debug lines only with getDEBUG().
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

/// "~" or "~/..." with the user's home folder in place of the tilde; any other text unchanged.
QString expandTilde(const QString &path);

/// Deletes a file or a folder with all its contents. Returns true when the item is gone or never
/// existed. Refuses (false, nothing deleted) the folders listed by rmCocoaGuardedPaths() and
/// every direct child of the folders listed by rmCocoaGuardedParents(), and paths that begin
/// with a wildcard form ("*", "/*", "/Volumes/*", "/Volumes/Users/*"). A deletion that the file
/// system refuses falls back to the Trash; only an item that survives both is a failure.
bool rmCocoa(const QString &path);

/// Folders rmCocoa never deletes, computed from the current environment (HOME, XDG user folders):
/// the home folder and the videos folder, each without a final "/".
QStringList rmCocoaGuardedPaths();
/// Folders whose direct children rmCocoa never deletes: "/", "/Volumes", "/Users", "/home",
/// "/media", "/mnt", "/run/media", "/run/media/<user>" and the home folder's parent (unless that
/// is the temporary folder), each without a final "/" (except "/").
QStringList rmCocoaGuardedParents();
/// True when rmCocoa refuses the path (tilde already expanded or not): the guard alone, nothing
/// is touched.
bool rmCocoaIsGuarded(const QString &path);

/// Creates the folder with every missing parent (permissions 0777 before the umask). A folder
/// that exists already counts as success.
bool mkdirCocoa(const QString &path);

/// Moves (renames, or copies and deletes across file systems) `src` to `dst`. An existing
/// destination is replaced only when `overwrite` is exactly "y"; otherwise false.
bool mvCocoa(const QString &src, const QString &dst, const QString &overwrite = {});

/// Moves the item into the freedesktop trash (of its mount, or the user's). The outcome is not
/// looked at: always 1. An item that no trash takes stays (logged), never deleted instead;
/// trashItem (desktop/trash.h) tells the outcome.
int32_t moveToTrash(const QString &path);
/// Moves the item into the freedesktop trash and tells whether it went (its place in the trash
/// in `trashedAt`). The home trash's parent folder ($XDG_DATA_HOME) is made when missing; the
/// current folder is never taken for a trash.
bool moveToTrashChecked(const QString &path, QString *trashedAt = nullptr);

/// Makes a symbolic link at `linkPath` pointing to `existingPath` (no tilde expansion); an
/// existing item at `linkPath` makes it fail.
bool ln_sCocoa(const QString &existingPath, const QString &linkPath);

/// The full paths of the entries of the folder (hidden ones included, no recursion, in listing
/// order). Nothing for an empty argument; an empty list for a missing or unreadable folder.
std::optional<QStringList> lsCocoa(const QString &folder);

/// The entries of lsCocoa whose extension equals `ext`, compared without regard to letter case.
/// The empty extension selects the entries that have none.
std::optional<QStringList> lsGrepCocoa(const QString &folder, const QString &ext = {});

/// Every item below the folder at any depth, files and folders alike, a folder before its
/// contents (no tilde expansion). An empty list for a missing folder.
QStringList lsCocoaRecursive(const QString &folder);

/// What lsCocoaRecursive finds, and the folders it could not open: "<folder>: <the system's
/// reason>" (too many open files, no permission).
struct folderListing {
    QStringList items;
    QStringList unread;
};
folderListing lsCocoaRecursiveListing(const QString &folder);

/// True when the item exists and can be opened for reading (a readable folder counts).
bool testPresenceC(const QString &path);
/// Same as testPresenceC.
bool testPresenceCocoa(const QString &path);

/// Free space of the file system holding the path, in MiB rounded down; -1 when the path is
/// empty, absent or the query fails.
int32_t espaceDiskDispo(const QString &path);

/// The item's own size (a folder's contents are not added up): bytes with no unit or the unit
/// "O"/"o", otherwise octet2unite() in that unit ("k", "m", "g"). -1 when it can't be read.
double poidsFile(const QString &path, const QString &unit = {});

/// True when a folder can be created in the path (a folder) or in its parent folder: a probe
/// folder "_FXdir<random>" is created and deleted again.
bool droitsAcces(const QString &path);

/// The path with every symbolic link followed to the final item; the path unchanged when it is
/// not a link or the link can't be resolved.
QString pathByResolvingAlias(const QString &path);

/// The recording bundle ("<name>.eyetv" folder) that a file directly inside it stands for;
/// any other path unchanged. Nothing for an empty path.
std::optional<QString> EyetvBundle(const QString &path);

/// The parent folder of the path with a final "/". A path inside a recording bundle stands for
/// the bundle; a path inside an iMovie project's shared folder loses the marker's 33 characters
/// first. The empty text for an empty path.
QString fichier_dirname(const QString &path);

/// The text of the file: UTF-8, or the encoding its byte-order mark names. When it can't be
/// decoded, the file is copied byte for byte and re-read as ASCII, the copy then replacing the
/// original. Nothing for an empty path or an unreadable file.
std::optional<QString> readContentsTxtUTF8(const QString &path);

/// The first line of the file (line break included), at most min(file size, maxLen) - 1
/// characters, decoded as ASCII (Latin-1). Nothing when the file can't be opened or is empty.
std::optional<QString> readContentsTxtC(const QString &path, int32_t maxLen);

/// Appends the text encoded in UTF-8 at the end of the file, creating it first when absent
/// (then with the UTF-8 byte-order mark first when `withBom`). False for an empty path or text,
/// or when the file can't be created or opened.
bool writeTextFileUtf8(const QString &path, const QString &text, bool withBom);
/// writeTextFileUtf8 with the byte-order mark flag set.
bool writeTextFileUtf8Bom(const QString &path, const QString &text);
/// Writes the bytes EF BB BF over the first three bytes of the file (not inserted).
bool writeUtf8Bom(const QString &path);

/// Shortens a file name: an extension longer than 12 characters is dropped (logged); from the
/// base name every "`" is removed, ":" becomes "-", and it is cut to `maxLen` characters; the
/// folder and the extension are put back.
QString trimStr(const QString &path, int32_t maxLen);

/// The name of the "_MASTER" copy next to a source: "<path without extension>_MASTER.<ext>" when
/// that stem is shorter than 28 characters, otherwise a shortened name in the same folder.
QString oldSrcPathStr2DstPathStr(const QString &path);

// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving against real files: chunked reads, odd names, special files, files that
// change while read, huge files and permissions.
#include "model/CarefulSave.h"
#include "model/PresetFile.h"
#include "model/PresetFileReading.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <string>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qob;
using namespace qob::test;

namespace {

constexpr qint64 kHugeBytes = 100LL * 1024 * 1024;

using PresetFileChunks = ScratchFolder;
using PresetFilePaths = ScratchFolder;
using PresetFileSave = ScratchFolder;

Preset somePreset() {
    Preset p;
    p.Name = "Paths";
    p.FaderLimit = {-3, 300};
    p.Elements[5].Daw = {ElementMode::Drawbar, 0xB3, 7, 99, "Vol, 6", {}};
    p.Elements[55].Midi = {0, kStatusSysEx, 0x43, 0x10, "", {1, 2, 3, 4, 5, 6, 0xF7, 0}};
    return p;
}

std::string replaceLine(const std::string& file, int line, const std::string& text) {
    std::size_t start = 0;
    for (int l = 1; l < line; ++l)
        start = file.find("\r\n", start) + 2;
    const std::size_t end = file.find("\r\n", start);
    return file.substr(0, start) + text + file.substr(end);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// What loading a file reports, with the path taken off the front.
struct Loaded {
    FileResult result;
    Preset preset;
    std::uint64_t bytesRead = 0;
    std::string detail() const {
        const auto colon = result.detail.find(": ");
        return colon == std::string::npos ? result.detail : result.detail.substr(colon + 2);
    }
};

Loaded load(const QString& path, std::size_t chunk = detail::kReadChunkBytes,
            std::function<void(std::uint64_t)> afterChunk = {}) {
    Loaded l;
    detail::ChunkedRead how;
    how.chunkBytes = chunk;
    how.afterChunk = [&](std::uint64_t read) {
        l.bytesRead = read;
        if (afterChunk)
            afterChunk(read);
    };
    l.result = detail::loadPresetFile(path, l.preset, how);
    return l;
}

// Root passes every permission check: runs `body` in a child that has dropped to nobody, with
// `groups` as its only groups, and returns what the child reported (empty when all went well).
std::string asNobody(const std::function<std::string()>& body,
                     const std::vector<gid_t>& groups = {}) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child < 0)
        return "no child";
    if (child == 0) {
        ::close(pipeFds[0]);
        constexpr uid_t kNobody = 65534;
        std::string report;
        if (::geteuid() == 0 && (::setgroups(groups.size(), groups.data()) != 0 ||
                                 ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            report = "cannot drop root\n";
        else
            report = ::geteuid() == 0 ? "still root\n" : body();
        [[maybe_unused]] const ssize_t sent = ::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "the child did not end well\n";
    return report;
}

} // namespace

// The file reader and the in-memory reader are one parser: same presets, same failures, at every
// chunk size, also where an item straddles two chunks.
TEST_F(PresetFileChunks, FileAndMemoryReadsAgree) {
    const std::string good = writePreset(somePreset());
    const std::string longText(kMaxItemBytes, 'n');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"written", good},
        {"LF only",
         [&] {
             std::string s;
             for (char c : good)
                 if (c != '\r')
                     s += c;
             return s;
         }()},
        {"no final line end", good.substr(0, good.size() - 2)},
        {"junk after the end", good + "\"junk\r\n" + std::string(100, 'x')},
        {"short", good.substr(0, good.size() / 2)},
        {"bad marker", replaceLine(good, 9, "\"** : MIDI\"")},
        {"number with blanks", replaceLine(good, 10, std::string(70, ' ') + "7")},
        {"number out of range", replaceLine(good, 10, "256")},
        {"bytes after a quote", replaceLine(good, 3, "\"Paths\"" + std::string(300, '#'))},
        {"unclosed quote", replaceLine(good, 511, "\"open")},
        {"longest name", replaceLine(good, 3, "\"" + longText + "\"")},
        {"longest plain name", replaceLine(good, 3, longText)},
        {"name one byte too long", replaceLine(good, 3, longText + "n")},
        {"endless digits", replaceLine(good, 10, std::string(kMaxItemBytes + 10, '7'))},
        {"blank run", replaceLine(good, 8, std::string(kMaxItemBytes + 1, '\t') + "\"* : x\"")},
        {"blanks and text", replaceLine(good, 8, std::string(100, ' ') + longText)},
        {"empty", ""},
        {"garbage", std::string(20000, '\x01')},
    };
    const QString path = dir.filePath("case.qob");
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        writeBytes(path, bytes);
        const ReadResult memory = readPreset(bytes);
        for (std::size_t chunk :
             {std::size_t{1}, std::size_t{7}, std::size_t{4097}, detail::kReadChunkBytes}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk));
            const Loaded file = load(path, chunk);
            ASSERT_EQ(file.result.ok, memory.preset.has_value()) << file.result.detail;
            if (memory.preset)
                EXPECT_EQ(file.preset, *memory.preset);
            else
                EXPECT_EQ(file.detail(), failureText(memory));
        }
    }
}

TEST_F(PresetFileChunks, ItemsLongerThanTheLimitAreCutOff) {
    const std::string good = writePreset(somePreset());
    const std::string limit = std::to_string(kMaxItemBytes);
    struct Case {
        const char* what;
        int line;
        std::string text;
        std::string failure; // empty: loads
    };
    const std::string full(kMaxItemBytes, 'a');
    const std::vector<Case> cases = {
        {"quoted name at the limit", 3, "\"" + full + "\"", ""},
        {"plain name at the limit with CR LF", 3, full, ""},
        {"blanks count", 3, " " + full,
         "line 3: expected the preset name, found an item longer than " + limit + " bytes: \"aaaa"},
        {"quoted name over the limit", 3, "\"" + full + "a\"",
         "line 3: expected the preset name, found an item longer than " + limit +
             " bytes: the text \"aaaa"},
        {"unclosed quote", 3, "\"" + full + full,
         "line 3: expected the preset name, found an item longer than " + limit + " bytes"},
        {"endless number", 5, std::string(kMaxItemBytes * 3, '1'),
         "line 5: expected a number -32768..32767 for FaderLimit[0], found an item longer than " +
             limit + " bytes: \"1111"},
        {"endless marker", 9, "\"** : DAW\"" + std::string(kMaxItemBytes + 2, ' '),
         "line 9: expected a number 0..255 for Mode of the DAW record of element 0 (V Pot  1), "
         "found an item longer than " +
             limit + " bytes"},
        {"endless bytes after a quote", 3, "\"name\"" + std::string(kMaxItemBytes + 2, '#'),
         "line 3: expected \"* : Fader Limit\", found an item longer than " + limit + " bytes"},
        {"blank run", 8, std::string(kMaxItemBytes + 1, '\t'),
         "line 8: expected the header of element 0 (V Pot  1), found an item longer than " + limit +
             " bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult r = readPreset(replaceLine(good, c.line, c.text));
        if (c.failure.empty()) {
            ASSERT_TRUE(r.preset) << failureText(r);
            // A text as long as the limit is written back in a form that reads again.
            const ReadResult again = readPreset(writePreset(*r.preset));
            ASSERT_TRUE(again.preset) << failureText(again);
            EXPECT_EQ(again.preset->Name, full);
        } else {
            EXPECT_FALSE(r.preset);
            EXPECT_EQ(failureText(r).rfind(c.failure, 0), 0u) << failureText(r);
        }
    }
}

// 100 MB files, sparse so they cost no disk: each is answered from its first chunks.
TEST_F(PresetFileChunks, HugeFilesAreAnsweredFromTheirStart) {
    const std::string good = writePreset(somePreset());
    const std::string head = good.substr(0, good.find("\r\n\"* : Fader Limit")) + "\r\n";
    struct Case {
        const char* what;
        std::string start; // the rest, up to 100 MB, is zero bytes
        std::string failure;
    };
    const std::vector<Case> cases = {
        {"preset followed by junk", good + "junk\r\n", ""},
        {"garbage", "garbage, more\r\n", "line 1: expected an item starting with"},
        {"zero bytes", "", "line 1: expected the title"},
        {"unclosed quote", "\"* : QOB-TANDRIX", "line 1: expected the title"},
        {"endless digits", head + "\"* : Fader Limit\"\r\n" + std::string(1 << 20, '9'),
         "line 5: expected a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath("huge.qob");
        writeBytes(path, c.start);
        ASSERT_TRUE(QFile::resize(path, kHugeBytes));
        const Loaded l = load(path);
        EXPECT_EQ(l.result.ok, c.failure.empty()) << l.result.detail;
        if (c.failure.empty())
            EXPECT_EQ(l.preset, somePreset());
        else
            EXPECT_EQ(l.detail().rfind(c.failure, 0), 0u) << l.detail();
        if (!c.failure.empty() && c.start.empty()) {
            EXPECT_TRUE(contains(l.detail(), "longer than")) << l.detail();
        }
        EXPECT_LT(l.bytesRead, c.start.size() + 2 * detail::kReadChunkBytes)
            << "stops right after the item that decides";
        ASSERT_TRUE(QFile::remove(path));
    }
}

TEST_F(PresetFileChunks, FileChangingWhileReadLoadsOrFailsCleanly) {
    const QString path = dir.filePath("moving.qob");
    const std::string good = writePreset(somePreset());
    struct Case {
        const char* what;
        std::function<void(QFile&)> change; // through a second handle after the first chunk
        bool loads;
        std::string failure;
    };
    const std::vector<Case> cases = {
        {"truncated to half", [&](QFile& f) { f.resize(static_cast<qint64>(good.size() / 2)); },
         false, "file ends"},
        {"truncated to nothing", [](QFile& f) { f.resize(0); }, false, "file ends before"},
        {"appended to",
         [](QFile& f) {
             f.seek(f.size());
             f.write("\"more\"\r\n1,2,3\r\n");
         },
         true, ""},
        {"grown by a hole", [](QFile& f) { f.resize(kHugeBytes); }, true, ""},
        {"head rewritten", [](QFile& f) { f.write("garbage"); }, true, ""},
        {"cut and refilled with junk",
         [&](QFile& f) {
             f.resize(static_cast<qint64>(good.size() / 2));
             f.seek(f.size());
             f.write(std::string(kMaxItemBytes * 2, 'j').c_str());
         },
         false, "found an item longer than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path, good);
        QFile other(path);
        ASSERT_TRUE(other.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        int calls = 0;
        const Loaded l = load(path, 1024, [&](std::uint64_t) {
            if (calls++ == 0)
                c.change(other);
        });
        EXPECT_EQ(l.result.ok, c.loads) << l.result.detail;
        if (c.loads)
            EXPECT_EQ(l.preset, somePreset());
        else
            EXPECT_TRUE(contains(l.detail(), c.failure)) << l.detail();
        EXPECT_LT(l.bytesRead, good.size() + 3 * 1024);
    }
}

TEST_F(PresetFilePaths, NamesWithBlanksNonAsciiAndQuotesLoadAndSave) {
    const Preset p = somePreset();
    const QStringList names = {
        "with blanks.qob", "Pr\u00E4set \u00FC.qob", "\u30D7\u30EA\u30BB\u30C3\u30C8.qob",
        "it's.qob",        "say \"hi\".qob",         " lead and trail ",
        "no extension",    "a,b;c&d$e`f\\g.qob",     "-dash.qob",
    };
    const QString folder = dir.filePath(QString::fromUtf8("f\u00F6lder \"x\" 'y'"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& base : {dir.path(), folder}) {
        for (const QString& name : names) {
            const QString path = base + '/' + name;
            SCOPED_TRACE(path.toStdString());
            const FileResult saved = savePresetFile(path, p);
            ASSERT_TRUE(saved.ok) << saved.detail;
            EXPECT_TRUE(QFileInfo(path).isFile()) << "the name is used as given";
            Preset back;
            const FileResult loaded = loadPresetFile(path, back);
            ASSERT_TRUE(loaded.ok) << loaded.detail;
            EXPECT_EQ(back, p);

            // Failures quote the name as given, in UTF-8.
            const QString missing = path + ".missing";
            const FileResult failed = loadPresetFile(missing, back);
            EXPECT_EQ(failed.detail.rfind(missing.toUtf8().toStdString() + ": ", 0), 0u)
                << failed.detail;
        }
    }
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
        names.size() + 1)
        << "nothing left besides the saved files";
}

// Only regular files are read, and nothing else is replaced by a save; none of these blocks.
TEST_F(PresetFilePaths, SpecialFilesAreRefusedAtOnce) {
    const QString fifo = dir.filePath("fifo.qob");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
    const QString folder = dir.filePath("folder.qob");
    ASSERT_TRUE(QDir().mkdir(folder));
    writeBytes(folder + "/inside", "kept");
    const QString good = dir.filePath("good.qob");
    ASSERT_TRUE(savePresetFile(good, somePreset()).ok);
    ASSERT_TRUE(QFile::link(folder, dir.filePath("folder link")));
    ASSERT_TRUE(QFile::link(fifo, dir.filePath("fifo link")));
    ASSERT_TRUE(QFile::link(good, dir.filePath("good link")));

    struct Case {
        QString path;
        std::string load; // what a load says after the path; empty: loads
        std::string save; // likewise for a save over it
    };
    const std::vector<Case> cases = {
        {folder, "is a folder", "is a folder"},
        {dir.filePath("folder link"), "is a folder", "is a folder"},
        {fifo, "is not a regular file", "is not a regular file"},
        {dir.filePath("fifo link"), "is not a regular file", "is not a regular file"},
        {"/dev/zero", "is not a regular file", ""},
        {"/dev/urandom", "is not a regular file", ""},
        {"/dev/null", "is not a regular file", ""},
        {dir.filePath("missing.qob"), "No such file or directory", ""},
        {dir.filePath("good link"), "", ""},
        {"", "No such file or directory", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        Preset preset;
        const FileResult r = loadPresetFile(c.path, preset);
        EXPECT_EQ(r.ok, c.load.empty()) << r.detail;
        if (!c.load.empty()) {
            EXPECT_EQ(r.detail, c.path.toStdString() + ": " + c.load);
            EXPECT_EQ(preset, Preset{});
        }
        // Never saves over a device here: if the refusal broke, root would replace it.
        if (!c.save.empty()) {
            const FileResult s = savePresetFile(c.path, somePreset());
            EXPECT_FALSE(s.ok);
            EXPECT_EQ(s.detail, c.path.toStdString() + ": " + c.save);
        }
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()) << "still a FIFO";
    EXPECT_EQ(bytesOf(folder + "/inside"), "kept");
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"inside"});
    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
              QStringList(
                  {"fifo link", "fifo.qob", "folder link", "folder.qob", "good link", "good.qob"}))
        << "no temporary file left behind";
}

// Root passes every permission check, so the cases run in a child that drops to nobody.
TEST_F(PresetFilePaths, PermissionsAreRespected) {
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const Preset p = somePreset();
    const QString readOnly = dir.filePath("read only.qob");
    const QString unreadable = dir.filePath("unreadable.qob");
    const QString lockedFolder = dir.filePath("locked");
    const QString inLocked = lockedFolder + "/existing.qob";
    for (const QString& path : {readOnly, unreadable})
        ASSERT_TRUE(savePresetFile(path, Preset{}).ok);
    ASSERT_TRUE(QDir().mkdir(lockedFolder));
    ASSERT_TRUE(savePresetFile(inLocked, Preset{}).ok);
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    ::chmod(QFile::encodeName(unreadable).constData(), 0000);
    ::chmod(QFile::encodeName(inLocked).constData(), 0666);
    ::chmod(QFile::encodeName(lockedFolder).constData(), 0555);
    const std::string empty = writePreset(Preset{});

    const std::string report = asNobody([&] {
        std::string report;
        const auto check = [&](bool ok, const std::string& what) {
            if (!ok)
                report += what + "\n";
        };
        FileResult r = savePresetFile(readOnly, p);
        check(!r.ok && r.detail == readOnly.toStdString() + ": is read-only",
              "read-only file: " + r.detail);
        check(bytesOf(readOnly) == empty, "read-only file changed");

        r = savePresetFile(inLocked, p);
        check(!r.ok && contains(r.detail, "ermission denied"), "locked folder: " + r.detail);
        check(bytesOf(inLocked) == empty, "file in a locked folder changed");
        r = savePresetFile(lockedFolder + "/new.qob", p);
        check(!r.ok && r.detail.rfind(lockedFolder.toStdString() + "/new.qob: ", 0) == 0,
              "new file in a locked folder: " + r.detail);

        Preset loaded;
        r = loadPresetFile(unreadable, loaded);
        check(!r.ok && r.detail == unreadable.toStdString() + ": Permission denied",
              "unreadable: " + r.detail);
        check(loadPresetFile(readOnly, loaded).ok, "a read-only file loads");
        return report;
    });
    EXPECT_EQ(report, "");
    EXPECT_EQ(QDir(lockedFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"existing.qob"})
        << "no temporary file left behind";
    ::chmod(QFile::encodeName(lockedFolder).constData(), 0755);
}

// A save replaces the content only: permissions, owner and group stay, and so do other names of
// the file (they see the new content).
TEST_F(PresetFileSave, KeepsModeOwnerGroupAndOtherNames) {
    const bool root = ::geteuid() == 0;
    const uid_t me = ::geteuid();
    const gid_t myGroup = ::getegid();
    // Files of others only where we may give them away.
    const uid_t other = root ? 1234 : me;
    const gid_t otherGroup = root ? 4321 : myGroup;
    struct Case {
        const char* name;
        mode_t mode;
        uid_t uid;
        gid_t gid;
        int otherNames;
    };
    const std::vector<Case> cases = {
        {"private.qob", 0600, other, otherGroup, 0}, {"shared.qob", 0664, me, otherGroup, 0},
        {"set-id.qob", 06755, other, otherGroup, 0}, // kept, though a change of owner clears them
        {"odd.qob", 0604, other, myGroup, 0},        {"linked.qob", 0640, other, otherGroup, 1},
        {"twice linked.qob", 0666, me, myGroup, 2},
    };
    const std::string old = writePreset(Preset{});
    const std::string saved = writePreset(somePreset());
    qsizetype files = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        ASSERT_NO_FATAL_FAILURE(makeFile(path, old, c.mode, c.uid, c.gid));
        QStringList names{path};
        for (int i = 1; i <= c.otherNames; ++i) {
            names += path + ".name" + QString::number(i);
            ASSERT_NO_FATAL_FAILURE(addName(path, names.back()));
        }
        files += names.size();
        const struct stat before = statOf(path);

        const FileResult r = savePresetFile(path, somePreset());
        ASSERT_TRUE(r.ok) << r.detail;
        expectShape(path, {c.mode, c.uid, c.gid, before.st_nlink});
        const struct stat after = statOf(path);
        if (c.otherNames > 0) {
            EXPECT_EQ(after.st_ino, before.st_ino) << "the same file, rewritten";
        }
        for (const QString& name : names)
            EXPECT_EQ(bytesOf(name), saved) << name.toStdString();
    }
    EXPECT_EQ(entriesOf(dir.path()).size(), files) << "no temporary file left behind";
}

// A link is followed: the file it names gets the content (or is created), the link stays.
TEST_F(PresetFileSave, SymbolicLinksAreFollowed) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const QString real = dir.filePath("real.qob");
    const auto symlink = [&](const QString& target, const QString& name) {
        addSymlink(target, dir.filePath(name));
    };
    symlink("real.qob", "relative");
    symlink(real, "absolute");
    symlink("relative", "chain");
    symlink("../real.qob", "sub/up"); // relative to the link's own folder
    symlink("sub/new.qob", "dangling");
    symlink("loop b", "loop a");
    symlink("loop a", "loop b");
    const std::string old = writePreset(Preset{});
    const std::string saved = writePreset(somePreset());

    struct Case {
        const char* link;
        QString target;
        std::string failure; // empty: saves
    };
    std::vector<Case> cases = {
        {"relative", real, ""},
        {"absolute", real, ""},
        {"chain", real, ""},
        {"sub/up", real, ""},
        {"dangling", dir.filePath("sub/new.qob"), ""},
        {"loop a", "", "Too many levels of symbolic links"},
    };
    // In a shared folder such as /tmp, someone else's link is not followed, as the kernel does.
    ASSERT_TRUE(QDir(dir.path()).mkdir("shared"));
    ASSERT_EQ(::chmod(encoded(dir.filePath("shared")).constData(), 01777), 0);
    symlink(real, "shared/ours");
    cases.push_back({"shared/ours", real, ""});
    if (::geteuid() == 0) {
        symlink(real, "shared/theirs");
        ASSERT_EQ(::lchown(encoded(dir.filePath("shared/theirs")).constData(), 1234, 1234), 0);
        cases.push_back({"shared/theirs", "", "Permission denied"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        const QString link = dir.filePath(c.link);
        ASSERT_NO_FATAL_FAILURE(makeFile(real, old, 0640));
        const QString pointsTo = QFileInfo(link).symLinkTarget();
        const FileResult r = savePresetFile(link, somePreset());
        EXPECT_EQ(r.ok, c.failure.empty()) << r.detail;
        if (!c.failure.empty()) {
            EXPECT_EQ(r.detail, link.toStdString() + ": " + c.failure);
        } else {
            EXPECT_EQ(bytesOf(c.target), saved);
            EXPECT_FALSE(QFileInfo(c.target).isSymLink());
        }
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link stays";
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), pointsTo);
        EXPECT_EQ(statOf(real).st_mode & 07777, 0640u);
    }
    EXPECT_EQ(entriesOf(dir.filePath("sub")), QStringList({"new.qob", "up"}));
    EXPECT_EQ(entriesOf(dir.path()).size(), 9) << "no temporary file left behind";
}

// A file without any write permission stays as it is, even for root and through another name.
TEST_F(PresetFileSave, ReadOnlyFilesAreRefusedAlsoForRoot) {
    const std::string old = writePreset(Preset{});
    for (const mode_t mode : {0444, 0400, 0000, 0555}) {
        const QString path = dir.filePath(QString::number(mode, 8) + ".qob");
        const QString otherName = path + ".name";
        const QString link = path + ".link";
        ASSERT_NO_FATAL_FAILURE(makeFile(path, old, mode));
        ASSERT_NO_FATAL_FAILURE(addName(path, otherName));
        ASSERT_TRUE(QFile::link(path, link));
        for (const QString& name : {path, otherName, link}) {
            SCOPED_TRACE(name.toStdString());
            const FileResult r = savePresetFile(name, somePreset());
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.detail, name.toStdString() + ": is read-only");
        }
        ASSERT_EQ(::chmod(encoded(path).constData(), 0600), 0);
        EXPECT_EQ(bytesOf(path), old);
    }
    EXPECT_EQ(entriesOf(dir.path()).size(), 12) << "no temporary file left behind";
}

// Only root may give a file away: another member of the file's group who saves it leaves it
// with its owner, by rewriting it in place.
TEST_F(PresetFileSave, AGroupMemberKeepsTheOwnersFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make files of other users";
    ASSERT_EQ(::chmod(encoded(dir.path()).constData(), 0777), 0);
    constexpr gid_t kGroup = 4321;
    const QString shared = dir.filePath("shared.qob");
    const QString notOurs = dir.filePath("not ours.qob");
    const std::string old = writePreset(Preset{});
    for (const auto& [path, mode] : {std::pair{shared, 0664}, std::pair{notOurs, 0644}}) {
        ASSERT_NO_FATAL_FAILURE(makeFile(path, old, mode, 1234, kGroup));
    }
    const std::string report = asNobody(
        [&] {
            std::string report;
            FileResult r = savePresetFile(shared, somePreset());
            if (!r.ok)
                report += "shared: " + r.detail + "\n";
            r = savePresetFile(notOurs, somePreset());
            if (r.ok || r.detail != notOurs.toStdString() + ": Permission denied")
                report += "not ours: " + r.detail + "\n";
            return report;
        },
        {kGroup});
    EXPECT_EQ(report, "");
    expectShape(shared, {0664, 1234, kGroup});
    EXPECT_EQ(bytesOf(shared), writePreset(somePreset()));
    EXPECT_EQ(bytesOf(notOurs), old);
    EXPECT_EQ(entriesOf(dir.path()).size(), 2) << "no temporary file left behind";
}

// A rewrite in place that fails halfway (here at a file size limit, as on a full disk) puts the
// old bytes back; until it is done, the complete new content waits beside the file, so that a
// crash in between loses neither.
TEST_F(PresetFileSave, FailedRewriteInPlacePutsTheOldContentBack) {
    const std::string saved = writePreset(somePreset());
    for (const std::string& old : {writePreset(Preset{}), std::string("short")}) {
        SCOPED_TRACE(old.size());
        const QString path = dir.filePath("linked.qob");
        const QString otherName = dir.filePath("other name.qob");
        QFile::remove(path);
        QFile::remove(otherName);
        writeBytes(path, old);
        ASSERT_NO_FATAL_FAILURE(addName(path, otherName));

        rlimit limit{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        bool staged = false;
        detail::SaveSteps steps;
        steps.beforeRewrite = [&] {
            for (const QString& name : entriesOf(dir.path()))
                staged = staged || bytesOf(dir.filePath(name)) == saved;
            rlimit small = limit;
            small.rlim_cur = 1000;
            setrlimit(RLIMIT_FSIZE, &small);
        };
        const FileResult r = detail::saveFileAtomically(path, saved, steps);
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_TRUE(staged) << "the new content is on disk before the rewrite";
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.detail, path.toStdString() + ": File too large");
        EXPECT_EQ(bytesOf(path), old);
        EXPECT_EQ(bytesOf(otherName), old);
        EXPECT_EQ(entriesOf(dir.path()).size(), 2) << "no temporary file left behind";
    }
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's command line, answered before any window exists: no display needed.
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include <vector>

namespace {

using namespace qob::test;

TEST(EditorCommandLine, AnsweredWithoutADisplay) {
    const QProcessEnvironment env = withoutDisplay();
    struct Case {
        QStringList args;
        int status;
        QString out; // a part of standard output
        QString err; // a part of standard error; empty: nothing there at all
    };
    const std::vector<Case> cases = {
        {{"--help"}, 0, "Usage: ", ""},
        {{"-h"}, 0, "--screenshot <FILE>", ""},
        {{"--version"}, 0, "qob-editor " QOB_VERSION "\n", ""},
        {{"-v"}, 0, "qob-editor ", ""},
        // Qt's own options are left to Qt, with their values.
        {{"-platform", "xcb", "--style=fusion", "-reverse", "--version"}, 0, "qob-editor ", ""},
        {{"--bogus"}, 2, "", "qob-editor: Unknown option 'bogus'.\nTry 'qob-editor --help'."},
        {{"--help", "-x"}, 2, "", "Unknown option 'x'"},
        {{"--screenshot"}, 2, "", "Missing value after '--screenshot'"},
        {{"a.qob", "b.qob"}, 2, "", "qob-editor: at most one preset file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome r = run(QStringLiteral(QOB_EDITOR), c.args, env);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(c.out)) << r.out.toStdString();
        if (c.err.isEmpty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        }
    }
}

} // namespace

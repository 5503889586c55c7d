#pragma once
#include <QTemporaryDir>

// A private world for one test: settings under a temporary XDG config folder, the user's
// data folder under a temporary XDG data folder, the program's folder in a temporary folder (the log goes there), message boxes and program
// launches recorded instead of shown, the clock stopped at 12:34:56, a fresh request budget
// for 127.0.0.1 with the ioquake3 rule, shared through a runtime folder of its own (XDG_RUNTIME_DIR), no close begun, and a memory (the database) of its own. Undone when it goes out of scope.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString configHome() const { return m_config.path(); }
    QString runtimeFolder() const { return m_runtime.path(); }
    QString programFolder() const { return m_program.path(); }
    QString settingsFile() const;  // the INI file the settings store uses
    QString logFile() const;
    QByteArray readLog() const;

private:
    QTemporaryDir m_config;
    QTemporaryDir m_program;
    QTemporaryDir m_data;  // XDG_DATA_HOME: the user's folder of the program (recall, names)
    QTemporaryDir m_runtime;  // XDG_RUNTIME_DIR: the request budgets every run shares
    QByteArray m_oldConfigHome;
    QByteArray m_oldDataHome;
    QByteArray m_oldRuntime;
};

// Finds a UDP port on 127.0.0.1 that nothing holds right now.
int FreeUdpPort();

// A file's bytes; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
// A file's or folder's permission bits (0600, 0700, ...); -1 when it is not there.
int FileMode(const QString& path);

#pragma once

// The exit status of a run from the command line, for scripts to test.
namespace ExitStatus {
constexpr int Answered = 0;     // every command was answered
constexpr int Usage = 2;        // the arguments make no sense, or there is no password
constexpr int BadPassword = 3;  // the server refused the password
constexpr int NoAnswer = 4;     // nothing came back in time
constexpr int Refused = 5;      // the network refused: port unreachable, host not found
}

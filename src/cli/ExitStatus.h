#pragma once

// The exit status of a run from the command line, for scripts to test.
namespace ExitStatus {
constexpr int Answered = 0;     // every command was answered
constexpr int Usage = 2;        // the arguments make no sense, or there is no password
constexpr int BadPassword = 3;  // the server refused the password
constexpr int NoAnswer = 4;     // no answer; a command with an effect may have run
constexpr int Refused = 5;      // the network refused: port unreachable, host not found
constexpr int Incomplete = 6;   // an answer came incomplete (a datagram lost) or was cut

// The status of a run of several commands or servers: the worse of two, where an answer that
// came incomplete is worse than a whole one and better than any failure.
constexpr int Worse(int a, int b)
{
    const auto rank = [](int s) { return s == Incomplete ? 1 : s == Answered ? 0 : s + 1; };
    return rank(a) >= rank(b) ? a : b;
}
}

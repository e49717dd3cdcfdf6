#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

/// Runs the current test once more, alone, in a new process of the test binary, for what only a
/// process that has done nothing else yet can show (the state of the C heap at the start of
/// `main`, say). The test asks `InFreshProcess` first: in the new process it does its checks; in
/// the one that runs the whole binary it calls `Run` and expects it to pass.
class FreshProcess
{
public:
    /// True in the process that `Run` started for the current test.
    static bool InFreshProcess()
    {
        const char* running = std::getenv(VariableName);
        return running != nullptr && CurrentTest() == running;
    }

    /// Runs the current test in a new process of this binary, in the working folder (which
    /// receives the new process's log files, and a file of its output that is removed again).
    /// @return true when it ran exactly that one test and it passed; `output` gets what the
    /// process wrote on standard output and standard error.
    static bool Run(std::string& output)
    {
        const std::string binary = std::filesystem::read_symlink("/proc/self/exe").string();
        const std::string filter = "--gtest_filter=" + CurrentTest();
        const std::string outputFile = "fresh-process-output.txt";
        std::vector<std::string> environment{std::string(VariableName) + "=" + CurrentTest()};
        for (char** variable = environ; *variable != nullptr; ++variable)
            if (std::strncmp(*variable, VariableName, std::strlen(VariableName)) != 0 || (*variable)[std::strlen(VariableName)] != '=')
                environment.emplace_back(*variable);
        std::vector<char*> envp;
        for (std::string& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string arg0 = binary;
        std::string arg1 = filter;
        char* argv[] = {arg0.data(), arg1.data(), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        // Nothing to answer on standard input, so that an error line never waits for a key.
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        pid_t child = -1;
        const int spawned = posix_spawn(&child, binary.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
        {
            output = "the test binary could not be started again: " + std::string(std::strerror(spawned));
            return false;
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR)
        {
        }
        std::stringstream text;
        text << std::ifstream(outputFile, std::ios::binary).rdbuf();
        output = text.str();
        std::filesystem::remove(outputFile);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 && output.find("[  PASSED  ] 1 test.") != std::string::npos;
    }

private:
    static constexpr const char* VariableName = "LEDROW_FRESH_PROCESS_TEST";

    static std::string CurrentTest()
    {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        return test == nullptr ? std::string() : std::string(test->test_suite_name()) + "." + test->name();
    }
};

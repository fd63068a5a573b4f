// The command lines of smsd, smshost and smsdb, read with CLI11, so that the
// three answer --help alike and name the option or argument they refuse.
#pragma once
#include <CLI/CLI.hpp>

#include <string>

// A program's parser: `name` in its help and errors, and options only with
// dashes, on Windows too, where a Unix path given to a program under Wine
// would otherwise read as a "/option".
inline void DescribeCommandLine(CLI::App& app, const std::string& name)
{
    app.name(name);
    app.allow_windows_style_options(false);
    app.failure_message([](const CLI::App* parser, const CLI::Error& error) {
        return parser->get_name() + ": " + error.what() + "\n" + parser->get_name() + " --help lists what it takes\n";
    });
}

// Reads the command line into `app`. Returns -1 when the program goes on;
// else the status to end it with: 0 after printing the help that --help
// asked for, 2 after printing what was wrong.
inline int ParseCommandLine(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }
    return -1;
}

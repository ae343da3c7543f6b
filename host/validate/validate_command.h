// `dravelkint validate`: puts any VST 2.4 plug-in through the catalogue of
// checks and reports what it found.
#pragma once

namespace vsthost::validate {

// argv[0] is the subcommand's name. Answers the exit code: 0 when no check
// failed, 5 when one did (the plug-in's fault), 2 for a bad command line.
int runValidate(int argc, char** argv);

}  // namespace vsthost::validate

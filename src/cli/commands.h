// The sub-commands of torvane-cli. Each returns the process exit status.
#pragma once

int CmdRequest(int argc, char** argv);  // torvane-cli request ID TERM
int CmdParse(int argc, char** argv);    // torvane-cli parse [--type N] ... FILE...
int CmdReport(int argc, char** argv);   // torvane-cli report PROJECT
int CmdHunt(int argc, char** argv);     // torvane-cli hunt [options] QUERY
int CmdCheck(int argc, char** argv);    // torvane-cli check [options] [--project FILE | -]
int CmdProbe(int argc, char** argv);    // torvane-cli probe ENGINE_ID TERM

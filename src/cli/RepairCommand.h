#pragma once

class TQuorvelApp;
class TSignalPipe;
struct TCliRequest;
class TTerminalView;

// 'repair ENTRY|FILE.nzb [--source FOLDER] [--check-server NAME|HOST]': posts again, through
// the profile's server, the articles of a batch the check server (or the profile's server)
// lacks, and rewrites the batch's NZB file. Exit status 0 when every missing article is
// on the server again, 1 when the repair failed before posting one, 3 when it failed after,
// 130 when interrupted.
namespace RepairCommand {

int Run(TQuorvelApp& app, TSignalPipe& signalPipe, TTerminalView& view, const TCliRequest& request);

} // namespace RepairCommand

#pragma once
// The upload run over several connections at once ([FTP] Parallel above 1). The context's own FTP
// component, logged on and in FtpDir, is one of them; up to connections - 1 more log on beside it,
// each in a thread of its own, and all of them take the files of one list in order. Every
// connection stays in FtpDir and names each file by its path below it; a remote folder is entered
// (or made) once, by the connection that first needs it, before any of its files goes.
//
// What the user sees is what one connection gives: a row per file sent or failed, the status text
// of the file being sent, the count of files sent for the time-out row, the first failed file ends
// the run (the files already on their way still finish), and a cancel of the context's component
// (the abort timer, the error handler) stops every connection. A server that refuses the extra
// connections (421, too many users) leaves the run with the connections it has, and one row says so.

#include "text/VB.h"
#include "upload/UploadContext.h"

namespace upload {

// The highest number of connections a run uses.
inline constexpr int kMaxParallel = 8;

// The number of connections the settings ask for, kept within 1 and kMaxParallel.
int ParallelConnections(int setting);

// Sends the files (full local paths as the listing gave them) as described above. True when every
// file went (or was skipped as needing no upload); false when a file, a folder or a step failed.
// Rows, status texts and counts are handled on the calling thread, which must be the context's.
bool SendFilesInParallel(UploadContext& context, bool closing, const text::StringList& files,
                         int connections);

} // namespace upload

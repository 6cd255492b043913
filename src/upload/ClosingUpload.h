#pragma once
// The closing run: when the program ends, the links to the home server are taken off the pages on
// the web space, either by uploading the pages once more with their links disabled and the closing
// notice inserted (ClosedMode 0), or by uploading every file of a prepared folder (ClosedMode 1).
// Then the main window's own settings are saved and the settings object is released.

#include "upload/UploadContext.h"

namespace upload {

// Uploads every file of ClosedFile and its subfolders into the mirrored folders below FtpDir: pages
// (by ReplaceExt) as a time-stamped temporary copy in text mode, other files unchanged in binary
// mode. The prepared files themselves are never modified. A file that fails does not end the run;
// a failed log-on is not logged. True when the loop over the files ran to its end. The component
// is logged off at the end. Never throws a failure of the run.
bool UploadClosedFolder(UploadContext& context);

// At most once (ClosingDone): stops all network work; when chkClosed is ticked, runs the closing
// upload of ClosedMode and clears PrevIP; stops all network work again; copies the start-up check
// boxes into ShowWindow, AutoRun and RecLog; saves with the Shutdown scope (a file that cannot be
// written is reported through ShowWarning, nothing escapes); releases the settings object.
void RunClosingUpload(UploadContext& context);

} // namespace upload

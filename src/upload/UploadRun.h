#pragma once
// The upload run over the page folder: log on, make the upload copy of every page, annotate it, and
// store it in the server folder that mirrors its local folder below FtpDir; every file is reported
// in the operation log and its progress in the status bar. Also the handlers of the FTP component's
// progress and error events, which the runs connect for their duration (upload/UploadContext.h).
//
// Wiring (for the owner of the FTP component): build one UploadContext with references to the
// shared state, the FTP component, the log and the user interface, and hooks for the abort timer,
// the host look-up, the status page load, the mail clients and the settings release; then call
// UploadPages and RunClosingUpload with it. No signal needs connecting by hand.

#include "upload/UploadContext.h"

#include <QtGlobal>
#include <string>
#include <string_view>

namespace upload {

// One run. closing: the pages' links to the home server are taken off and the closing notice is
// inserted instead of the links being rewritten. True when the run ended without an error; false
// when there was nothing to upload, the log-on or the change to FtpDir failed, or any step failed.
// The component is logged off at the end of every run that logged on, whatever happened. Never
// throws a failure of the run; the local pages are never modified.
bool UploadPages(UploadContext& context, bool closing);

// OnPacketSent: while a file is being sent (UploadStatus not empty), the status bar shows its
// progress.
void OnPacketSent(UploadContext& context);

// OnError: stops the abort timer, logs "Winsockｴﾗｰ " + number + ":" + message, and stops the host
// look-up, the status page load and the FTP, SMTP and POP3 clients. The failing step then ends as
// its caller decides.
void OnError(UploadContext& context, int errorNumber, const std::string& message);

// The progress text: status + " - " + percentage + "%" + " (" + done + "/" + total + "bytes)", the
// byte counts with thousands separators ('ｱｯﾌﾟﾛｰﾄﾞ中... sub\a.htm - 42% (12,345/29,000bytes)').
std::string ProgressText(std::string_view uploadStatus, qint64 done, qint64 total);

// The whole percentage of done in total, cut (not rounded); 100 for an empty file.
int ProgressPercent(qint64 done, qint64 total);

} // namespace upload

#pragma once

// Wires unknown-placeholder reports to a message box with the placeholder text. The
// box is shown by the user-interface thread; a report from another thread is queued
// there and never waited for.
void InstallPlaceholderMessageBox();

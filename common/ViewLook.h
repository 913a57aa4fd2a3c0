#pragma once

class QWidget;

// The selection of a list or tree keeps its colours while another pane has the focus.
void KeepSelectionVisible(QWidget *view);

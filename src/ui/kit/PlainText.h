#pragma once

class QWidget;

// Every text from a repository, a tool or the user is shown as it stands. A QLabel left at
// Qt::AutoText, which includes the labels Qt builds inside QMessageBox and QFileDialog, renders any
// text that looks like markup: <img src=...> reads the file it names, <a href> becomes a link.

// Makes every label in the widget's tree show its text as plain text. Call it once the texts are set
// and before the widget shows: a label lays out (and would load) its text only when it is measured.
void showLabelsAsPlainText(QWidget &root);

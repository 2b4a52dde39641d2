#pragma once

class AppState;
class QWidget;

// The view of each workflow tab, made once by the detail pane.
QWidget *makeChangesView(AppState &state);
QWidget *makeIncomingView(AppState &state);
QWidget *makeHistoryView(AppState &state);
QWidget *makeArchivesView(AppState &state);

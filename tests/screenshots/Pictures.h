#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

class AppState;
class QWidget;
struct Project;

// The folder the pictures go to, and what went wrong on the way: a picture that could not be saved, or a
// window that never showed. Each failure is printed as it happens; the program's exit status counts them.
class Pictures {
public:
    explicit Pictures(QString folder);

    void save(const QImage &image, const QString &fileName);
    void save(const QPixmap &pixmap, const QString &fileName) { save(pixmap.toImage(), fileName); }
    // False (and reported) when `ok` is not: the pictures that depend on it are left out.
    bool expect(bool ok, const char *what);
    // Shows the window at 1440 × 900 and waits until it is on the screen.
    bool show(QWidget &window);
    int failures() const { return m_failures; }

private:
    QString m_folder;
    int m_failures = 0;
};

// The window with a dialog or menu of its own drawn where it stands, as the user sees the two together.
QImage overWindow(QWidget &window, QWidget *dialog);
// The Fusion style with the standard (light) palette or the dark one.
void useLook(bool dark);
// Selects the project the way the sidebar does, unless it is selected already.
void selectProject(AppState &state, const Project &project);
// Waits until the state runs nothing and the views have rendered and finished their animations.
void settle(AppState &state);

// Each takes its pictures over repositories of its own and puts the application's palette back.
void takeWindowPictures(Pictures &pictures);
void takeChangesPictures(Pictures &pictures);
void takeWorkflowPictures(Pictures &pictures);
void takeDiffPictures(Pictures &pictures);

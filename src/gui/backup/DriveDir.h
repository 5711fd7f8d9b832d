#pragma once
// The drive-and-directory dialog `TDriveDir` through which backup and restore pick a directory.
// On this platform the "drives" are the mounted volumes; the directory tree and the (disabled,
// view-only) file list follow the chosen volume and directory. The caller sets the caption and
// the OK button's text ("Backup" / "Restore"), shows it modally and reads ChosenDir: the
// directory shown when OK was pressed, empty after Cancel or the close box.
//
// Created once at start-up, it keeps its volume and directory between showings. Browsing never
// moves the process's working directory, which the tables are addressed by.

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QListView;
class QPushButton;
class QTreeView;

// The directory the dialog returned; empty when the user cancelled.
extern QString ChosenDir;

struct DriveVolume {
    QString name;      // as listed and named in messages (the mount point)
    QString rootPath;  // where its tree starts
};

class TDriveDir : public QDialog {
    Q_OBJECT
public:
    explicit TDriveDir(QWidget* parent = nullptr);

    // Where the volume list comes from. The method lists the mounted volumes; the dialog reaches
    // it through Installed<TDriveDir::VolumeSource> (gui/common/Installed.h), where a test
    // installs a list of its own.
    class VolumeSource {
    public:
        virtual ~VolumeSource() = default;
        virtual QList<DriveVolume> volumes() { return mountedVolumes(); }
    };
    // The mounted volumes worth offering (not the kernel's pseudo file systems).
    static QList<DriveVolume> mountedVolumes();

    // Re-reads the volume list, keeping the chosen one when it is still there.
    void refreshVolumes();
    // The directory the tree shows as current (the volume's root when none is picked).
    QString currentDirectory() const;
    // Shows `dir`, switching to the volume that holds it. False when no volume holds it.
    bool setCurrentDirectory(const QString& dir);

    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QListView* FileListBox1 = nullptr;
    QPushButton* BtnOK = nullptr;
    QPushButton* BtnCancel = nullptr;

    QString SavedDir;
    int SavedDrive = -1;

public slots:
    void FormShow();
    void FormActivate();
    void DriveComboBox1Change(int index);
    void BtnOKClick();
    void BtnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showVolume(int index);
    void followDirectory(const QString& dir);
    QList<DriveVolume> volumes_;
    QFileSystemModel* dirModel_ = nullptr;
    QFileSystemModel* fileModel_ = nullptr;
};

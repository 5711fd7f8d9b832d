#include "gui/backup/DriveDir.h"
#include "gui/common/Installed.h"
#include "gui/common/DialogLook.h"
#include "gui/common/Fitting.h"
#include "gui/common/Placement.h"

#include <QShowEvent>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QTreeView>
#include <dirent.h>

#include "gui/common/MessageBoxes.h"

QString ChosenDir;

namespace {

bool readable(const QString& root) {
    DIR* d = ::opendir(QFile::encodeName(root).constData());
    if (!d) return false;
    ::closedir(d);
    return true;
}

bool isUnder(const QString& path, const QString& root) {
    if (root == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

}  // namespace

QList<DriveVolume> TDriveDir::mountedVolumes() {
    static const QStringList pseudo = {
        QStringLiteral("proc"),    QStringLiteral("sysfs"),    QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),  QStringLiteral("cgroup"),   QStringLiteral("cgroup2"),
        QStringLiteral("mqueue"),  QStringLiteral("securityfs"), QStringLiteral("debugfs"),
        QStringLiteral("tracefs"), QStringLiteral("pstore"),   QStringLiteral("bpf"),
        QStringLiteral("fusectl"), QStringLiteral("configfs"), QStringLiteral("hugetlbfs"),
        QStringLiteral("binfmt_misc"), QStringLiteral("autofs"), QStringLiteral("nsfs")};
    QList<DriveVolume> out;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid()) continue;
        const QString root = v.rootPath();
        if (pseudo.contains(QString::fromLatin1(v.fileSystemType()))) continue;
        if (root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys")) ||
            root.startsWith(QLatin1String("/dev")))
            continue;
        if (root.startsWith(QLatin1String("/run")) && !root.startsWith(QLatin1String("/run/media")))
            continue;
        out.append({root, root});
    }
    if (out.isEmpty()) out.append({QStringLiteral("/"), QStringLiteral("/")});
    return out;
}

TDriveDir::TDriveDir(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DriveDir"));
    setWindowTitle(QStringLiteral("DriveDir"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFixedSize(427, 212);
    FillBackground(this, QColor(192, 192, 192));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    setFont(f);

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(8, 8, 193, 22);

    dirModel_ = new QFileSystemModel(this);
    dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    DirectoryListBox1 = new QTreeView(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setModel(dirModel_);
    for (int c = 1; c < dirModel_->columnCount(); ++c) DirectoryListBox1->hideColumn(c);
    DirectoryListBox1->setHeaderHidden(true);
    DirectoryListBox1->setGeometry(8, 36, 193, 168);

    fileModel_ = new QFileSystemModel(this);
    fileModel_->setFilter(QDir::Files);
    FileListBox1 = new QListView(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setModel(fileModel_);
    FileListBox1->setGeometry(208, 8, 129, 196);
    FileListBox1->setEnabled(false);

    BtnOK = new QPushButton(QStringLiteral("OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setGeometry(344, 8, 75, 27);
    BtnOK->setDefault(true);
    BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnCancel->setGeometry(344, 44, 75, 27);

    connect(DriveComboBox1, &QComboBox::activated, this, &TDriveDir::DriveComboBox1Change);
    connect(BtnOK, &QPushButton::clicked, this, &TDriveDir::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TDriveDir::BtnCancelClick);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) followDirectory(dirModel_->filePath(current));
            });

    refreshVolumes();
    setCurrentDirectory(QDir::currentPath());
}

void TDriveDir::refreshVolumes() {
    const QString keep = DriveComboBox1->currentIndex() >= 0
                             ? volumes_.value(DriveComboBox1->currentIndex()).rootPath
                             : QString();
    volumes_ = Installed<VolumeSource>::get().volumes();
    QSignalBlocker block(DriveComboBox1);
    DriveComboBox1->clear();
    int found = -1;
    for (int i = 0; i < volumes_.size(); ++i) {
        DriveComboBox1->addItem(volumes_[i].name);
        if (volumes_[i].rootPath == keep) found = i;
    }
    if (found >= 0) DriveComboBox1->setCurrentIndex(found);
    FitComboEntries(DriveComboBox1);
}

void TDriveDir::showVolume(int index) {
    const QString root = volumes_.value(index).rootPath;
    {
        QSignalBlocker block(DriveComboBox1);
        DriveComboBox1->setCurrentIndex(index);
    }
    dirModel_->setRootPath(root);
    DirectoryListBox1->setRootIndex(dirModel_->index(root).parent());
    DirectoryListBox1->setCurrentIndex(dirModel_->index(root));
    followDirectory(root);
}

void TDriveDir::followDirectory(const QString& dir) {
    fileModel_->setRootPath(dir);
    FileListBox1->setRootIndex(fileModel_->index(dir));
}

QString TDriveDir::currentDirectory() const {
    const QModelIndex i = DirectoryListBox1->currentIndex();
    if (i.isValid()) return dirModel_->filePath(i);
    return volumes_.value(DriveComboBox1->currentIndex()).rootPath;
}

bool TDriveDir::setCurrentDirectory(const QString& dir) {
    const QString path = QDir::cleanPath(QDir(dir).absolutePath());
    int best = -1;
    for (int i = 0; i < volumes_.size(); ++i)
        if (isUnder(path, QDir::cleanPath(volumes_[i].rootPath)) &&
            (best < 0 || volumes_[i].rootPath.size() > volumes_[best].rootPath.size()))
            best = i;
    if (best < 0) return false;
    showVolume(best);
    const QModelIndex i = dirModel_->index(path);
    if (i.isValid()) {
        DirectoryListBox1->setCurrentIndex(i);
        DirectoryListBox1->scrollTo(i);
        followDirectory(path);
    }
    return true;
}

void TDriveDir::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) CentreOnScreen(this);
    QDialog::showEvent(event);
    FormShow();
    FormActivate();
}

void TDriveDir::FormShow() {
    SavedDir = QDir::currentPath();
    ChosenDir.clear();  // closing by the window's frame counts as cancelling
}

void TDriveDir::FormActivate() { SavedDrive = DriveComboBox1->currentIndex(); }

void TDriveDir::DriveComboBox1Change(int index) {
    if (index < 0 || index >= volumes_.size()) return;
    if (!readable(volumes_[index].rootPath)) {
        UserPrompts(this).info(QStringLiteral("Unable to read from drive ") + volumes_[index].name);
        if (SavedDrive >= 0 && SavedDrive < volumes_.size())
            showVolume(SavedDrive);
        return;
    }
    showVolume(index);
}

void TDriveDir::BtnOKClick() {
    ChosenDir = currentDirectory();
    QDir::setCurrent(SavedDir);
    accept();
}

void TDriveDir::BtnCancelClick() {
    ChosenDir.clear();
    QDir::setCurrent(SavedDir);
    reject();
}

#pragma once
// An import on a disk that fills part-way through it, for the core's runs and the import
// dialog's button alike.

#include <QString>
#include <functional>

// What an import run told: the names it says it added (-1: it did not run) and its error.
struct ImportTold {
    int added = -1;
    QString error;
};

// Calls `run` with a file of 300 contacts under a header line "First,Last" (F0 Name0, F1 Name1,
// ...) once for each of several free spaces, LibHandle being a library on a data set of three
// names whose disk fills after that many bytes, and expects: the book holds the three and the
// count told, which are the file's first contacts (after the header line when `headerTaken`:
// the stored-layout runs take it for a contact); an error told exactly when a write failed,
// saying "Unable to add every name"; the book and its index whole at once, the disk still full.
void ExpectFullDiskImportKeepsWhatItTells(bool headerTaken, const std::function<ImportTold(const QString& file)>& run);

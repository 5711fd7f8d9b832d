#pragma once
// One desktop notification through the session bus: org.freedesktop.Notifications, the
// interface every desktop's notice server offers (GNOME, KDE, Xfce, dunst, mako, ...).

#include <QString>

// Why no notice can be sent ("no session bus ..."), or an empty text when the session bus is
// there.
QString SessionBusProblem();

// Sends a notice from "Merrowby" with `summary` and `body` (lines joined by line breaks; escaped
// when the server reads markup in bodies). Returns an empty text when the server took it, else
// why not: no session bus, no notice server on it, or the server's error.
QString SendDesktopNotice(const QString& summary, const QString& body);

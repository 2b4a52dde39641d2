#pragma once

#include <QString>

// Guesses made from a typed repository URL.
bool looksLikeGitRepositoryURL(const QString &url);
// svn:// and svn+<tunnel>://: addresses only svn reads.
bool looksLikeSVNOnlyURL(const QString &url);
QString defaultCheckoutFolderName(const QString &url);
QString defaultExportFolderName(const QString &source);

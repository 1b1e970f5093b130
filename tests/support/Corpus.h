#pragma once

#include <QFile>
#include <QTest>

// The shared corpus of real-world files lives beside the repository. A clone without
// it still passes, saying loudly what it skipped; where QUORVEL_REQUIRE_CORPUS is set
// (continuous integration) a missing corpus is a failure, never a quiet pass.
#define QUORVEL_SKIP_UNLESS_CORPUS(manifest)                                                       \
    do {                                                                                           \
        const QString corpusManifest = (manifest);                                                 \
        if (!QFile::exists(corpusManifest)) {                                                      \
            if (qEnvironmentVariableIsSet("QUORVEL_REQUIRE_CORPUS"))                               \
                QFAIL(qPrintable(QStringLiteral("the shared corpus is required but missing: ") +   \
                                 corpusManifest));                                                 \
            qWarning("SKIPPED: the shared corpus is not on this machine (%s)",                     \
                     qPrintable(corpusManifest));                                                  \
            QSKIP("the shared corpus is not on this machine");                                     \
        }                                                                                          \
    } while (false)

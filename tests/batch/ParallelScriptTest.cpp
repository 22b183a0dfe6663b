#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QThread>

#include "batch/BatchProgram.h"

namespace quorvid {
namespace {

bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

sockaddr_in LoopbackAddress(const char* address, quint16 port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    inet_pton(AF_INET, address, &socketAddress.sin_addr);
    return socketAddress;
}

// A port the system hands out as free just now.
quint16 FreeLoopbackPort() {
    const int socketHandle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = LoopbackAddress("127.0.0.1", 0);
    socklen_t length = sizeof address;
    bind(socketHandle, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(socketHandle, reinterpret_cast<sockaddr*>(&address), &length);
    close(socketHandle);
    return ntohs(address.sin_port);
}

bool Answers(const char* address, quint16 port) {
    const int socketHandle = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in target = LoopbackAddress(address, port);
    const bool connected =
        connect(socketHandle, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
    close(socketHandle);
    return connected;
}

// An SSH server of the test's own on two loopback addresses, which lets in
// only a throwaway key; it ends with the object.
class LoopbackSshServer {
  public:
    // Empty when it runs; else why not.
    QString Start(const QString& sshd) {
        const QString hostKey = folder.filePath(QStringLiteral("host_key"));
        if (!RunTool(QStringLiteral("ssh-keygen"),
                     {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                      QStringLiteral("-N"), QString(), QStringLiteral("-f"), hostKey}) ||
            !RunTool(QStringLiteral("ssh-keygen"),
                     {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                      QStringLiteral("-N"), QString(), QStringLiteral("-f"), userKey()})) {
            return QStringLiteral("ssh-keygen made no keys");
        }
        QFile::copy(userKey() + QStringLiteral(".pub"),
                    folder.filePath(QStringLiteral("authorized_keys")));
        // The superuser's sshd insists on its empty privilege separation folder,
        // which the package's service would have made.
        if (geteuid() == 0) {
            mkdir("/run/sshd", 0755);
        }
        port = FreeLoopbackPort();
        QFile config(folder.filePath(QStringLiteral("sshd_config")));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("Port %1\n"
                                    "ListenAddress 127.0.0.1\n"
                                    "ListenAddress 127.0.0.2\n"
                                    "HostKey %2\n"
                                    "AuthorizedKeysFile %3\n"
                                    "PidFile %4\n"
                                    "StrictModes no\n"
                                    "UsePAM no\n"
                                    "PasswordAuthentication no\n"
                                    "KbdInteractiveAuthentication no\n"
                                    "PermitRootLogin prohibit-password\n")
                         .arg(port)
                         .arg(hostKey, folder.filePath(QStringLiteral("authorized_keys")),
                              folder.filePath(QStringLiteral("sshd.pid")))
                         .toUtf8());
        config.close();
        server.start(sshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                            config.fileName()});
        server.waitForStarted();
        for (int wait = 0; wait < 100; ++wait) {
            if (Answers("127.0.0.1", port) && Answers("127.0.0.2", port)) {
                return {};
            }
            if (server.state() == QProcess::NotRunning) {
                return QStringLiteral("sshd did not start: ") +
                       QString::fromLocal8Bit(server.readAllStandardError());
            }
            QThread::msleep(100);
        }
        return QStringLiteral("sshd does not answer");
    }
    ~LoopbackSshServer() {
        server.terminate();
        server.waitForFinished(5000);
    }
    QString userKey() const { return folder.filePath(QStringLiteral("user_key")); }
    QString SshCommand() const {
        return QStringLiteral(
                   "ssh -i %1 -p %2 -o BatchMode=yes -o StrictHostKeyChecking=no "
                   "-o UserKnownHostsFile=/dev/null -o LogLevel=ERROR")
            .arg(userKey())
            .arg(port);
    }

    QTemporaryDir folder;
    QProcess server;
    quint16 port = 0;
};

TEST(ParallelScriptTest, TwoSshLoginsWriteTheTableOfOneLocalRun) {
    const QString sshd = QStringLiteral("/usr/sbin/sshd");
    if (!QFileInfo(sshd).isExecutable() ||
        QStandardPaths::findExecutable(QStringLiteral("ssh")).isEmpty()) {
        GTEST_SKIP() << "no OpenSSH server and client (Debian: openssh-server openssh-client)";
    }
    if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty()) {
        GTEST_SKIP() << "no GNU parallel (Debian: parallel)";
    }
    LoopbackSshServer server;
    const QString refusal = server.Start(sshd);
    ASSERT_TRUE(refusal.isEmpty()) << refusal.toStdString();

    MediaFolder folder;
    const QString user = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
    QTemporaryDir work;
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), work.path());
    environment.insert(QStringLiteral("TMPDIR"), work.path());
    script.setProcessEnvironment(environment);
    const QString output = work.filePath(QStringLiteral("table.csv"));
    script.start(
        QStringLiteral(QUORVID_SOURCE_DIR "/tools/quorvid-parallel.sh"),
        {QStringLiteral("-S"), QStringLiteral("1/%1@127.0.0.1").arg(user), QStringLiteral("-S"),
         QStringLiteral("1/%1@127.0.0.2").arg(user), QStringLiteral("--ssh"), server.SshCommand(),
         QStringLiteral("--chunk"), QStringLiteral("2"), QStringLiteral("--program"),
         QStringLiteral(QUORVID_BATCH_PROGRAM), QStringLiteral("--remote-program"),
         QStringLiteral(QUORVID_BATCH_PROGRAM), QStringLiteral("--format"), QStringLiteral("csv"),
         QStringLiteral("-o"), output, folder.root()});
    ASSERT_TRUE(script.waitForFinished(300000));
    EXPECT_EQ(script.exitCode(), 0) << script.readAllStandardError().constData();

    // The chunks went through the server, to both addresses.
    server.server.terminate();
    server.server.waitForFinished(5000);
    const QByteArray log = server.server.readAllStandardError();
    EXPECT_GE(log.count("Accepted publickey"), 2) << log.constData();

    const Finished local =
        RunBatch({QStringLiteral("-q"), QStringLiteral("--format=csv"), folder.root()});
    EXPECT_GT(local.out.count('\n'), 5);
    EXPECT_EQ(ReadAll(output), local.out);
    // Only the table is left: the parts went with the script.
    EXPECT_EQ(QDir(work.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("table.csv")});
}

}  // namespace
}  // namespace quorvid

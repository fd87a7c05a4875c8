#include "station/Settings.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace {
const QString kSection = QStringLiteral("Diving");
}

IniFile::IniFile(const QString &path) : path_(path) {}

bool IniFile::load()
{
    sections_.clear();
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    Section *current = nullptr;
    while (!f.atEnd()) {
        QString line = QString::fromLatin1(f.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')))
            continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            const QString name = t.mid(1, t.size() - 2).trimmed();
            current = find(name);
            if (!current) {
                sections_.append({name, {}});
                current = &sections_.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || !current)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        bool replaced = false;
        for (auto &e : current->entries) {
            if (e.first.compare(key, Qt::CaseInsensitive) == 0) {
                replaced = true;
                break;  // the first occurrence wins, as INI readers do
            }
        }
        if (!replaced)
            current->entries.append({key, value});
    }
    return true;
}

bool IniFile::save() const
{
    QSaveFile f(path_);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray out;
    for (const Section &s : sections_) {
        out += '[' + s.name.toLatin1() + "]\r\n";
        for (const auto &e : s.entries)
            out += e.first.toLatin1() + '=' + e.second.toLatin1() + "\r\n";
        out += "\r\n";
    }
    f.write(out);
    return f.commit();
}

IniFile::Section *IniFile::find(const QString &section)
{
    for (Section &s : sections_)
        if (s.name.compare(section, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const IniFile::Section *IniFile::find(const QString &section) const
{
    return const_cast<IniFile *>(this)->find(section);
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    const Section *s = find(section);
    if (!s)
        return false;
    for (const auto &e : s->entries)
        if (e.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Section *s = find(section);
    if (!s)
        return def;
    for (const auto &e : s->entries)
        if (e.first.compare(key, Qt::CaseInsensitive) == 0)
            return e.second;
    return def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    const QString v = readString(section, key, QString()).trimmed();
    bool ok = false;
    const int n = v.toInt(&ok, 10);
    return ok ? n : def;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    Section *s = find(section);
    if (!s) {
        sections_.append({section, {}});
        s = &sections_.last();
    }
    for (auto &e : s->entries) {
        if (e.first.compare(key, Qt::CaseInsensitive) == 0) {
            e.second = value;
            return;
        }
    }
    s->entries.append({key, value});
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

QString StationSettings::filePath()
{
    // In the working folder, written with the system's own separator.
    return QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/Settings.ini"));
}

StationSettings StationSettings::read()
{
    StationSettings s;
    IniFile ini(filePath());
    ini.load();
    s.LastIP = ini.readString(kSection, QStringLiteral("LastIP"), QStringLiteral("This Computer"));
    s.Who = ini.readInteger(kSection, QStringLiteral("Who"), 0);
    return s;
}

bool StationSettings::write() const
{
    IniFile ini(filePath());
    ini.load();
    ini.writeInteger(kSection, QStringLiteral("Left"), Left);
    ini.writeInteger(kSection, QStringLiteral("Top"), Top);
    ini.writeInteger(kSection, QStringLiteral("Width"), Width);
    ini.writeInteger(kSection, QStringLiteral("Height"), Height);
    ini.writeString(kSection, QStringLiteral("LastIP"), LastIP);
    ini.writeInteger(kSection, QStringLiteral("Who"), Who);
    return ini.save();
}

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
  The "URLs" table: the support e-mail address and the product's web page. Each
  source text is the address itself and the code looks it up with
    QCoreApplication::translate("URLs", "feedback@talvex.org", "Talvex feedback email")
    QCoreApplication::translate("URLs", "https://talvex.org/", "Talvex website URL")
  so an untranslated entry yields the built-in address, and a localisation (a .qm made
  from a copy of this file, loaded with a QTranslator) can replace either address.
  The feedback address gets "mailto:" prepended by the caller.
-->
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>URLs</name>
    <message>
        <source>feedback@talvex.org</source>
        <comment>Talvex feedback email</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>https://talvex.org/</source>
        <comment>Talvex website URL</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>

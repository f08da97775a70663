// The resource libraries carry their data in Qt's resource objects; this empty unit only
// gives each library a source of its own.

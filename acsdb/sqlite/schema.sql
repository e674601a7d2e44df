-- The tables and columns of a Kestrava access-control database that KestravaPelorin relies on,
-- in SQLite. GUIDs are stored as text the way SQL Server prints them (upper case, no braces);
-- text columns compare without regard to letter case, as in the server's default collation.

CREATE TABLE variables (
    name  TEXT COLLATE NOCASE PRIMARY KEY,
    value TEXT
);

CREATE TABLE Employee (
    _id        TEXT COLLATE NOCASE PRIMARY KEY,
    FullName   TEXT COLLATE NOCASE,
    FirstName  TEXT COLLATE NOCASE,
    SecondName TEXT COLLATE NOCASE,
    LastName   TEXT COLLATE NOCASE,
    Comment    TEXT COLLATE NOCASE,
    IsRemoved  INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE PhoneNumbers (
    _id         TEXT COLLATE NOCASE PRIMARY KEY,
    EmployeeId  TEXT COLLATE NOCASE,
    CountryCode TEXT COLLATE NOCASE,
    CityCode    TEXT COLLATE NOCASE,
    Number      TEXT COLLATE NOCASE,
    Description TEXT COLLATE NOCASE
);
CREATE INDEX PhoneNumbersEmployee ON PhoneNumbers (EmployeeId);

CREATE TABLE EmployeePhoto (
    EmployeeID  TEXT COLLATE NOCASE,
    PhotoNumber INTEGER,
    Photo       BLOB,
    PRIMARY KEY (EmployeeID, PhotoNumber)
);

CREATE TABLE Resource (
    _id       TEXT COLLATE NOCASE PRIMARY KEY,
    IsRemoved INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE DriverLinkProperty (
    _id  TEXT COLLATE NOCASE PRIMARY KEY,
    name TEXT COLLATE NOCASE
);

CREATE TABLE driver (
    _idResource       TEXT COLLATE NOCASE PRIMARY KEY,
    _idParentProperty TEXT COLLATE NOCASE,
    ObjectTypeName    TEXT COLLATE NOCASE
);

CREATE TABLE Property (
    _idResource  TEXT COLLATE NOCASE,
    PropertyName TEXT COLLATE NOCASE,
    Value        TEXT COLLATE NOCASE
);
CREATE INDEX PropertyResource ON Property (_idResource, PropertyName);

CREATE TABLE LogMsgSubtypes (
    Id      INTEGER PRIMARY KEY,
    Name    TEXT COLLATE NOCASE,
    Publish INTEGER NOT NULL DEFAULT 0
);

-- One row per event; _id grows with every new row.
CREATE TABLE log (
    _id                   INTEGER PRIMARY KEY AUTOINCREMENT,
    DateTime              TEXT,
    LogMessageType        INTEGER,
    LogMessageSubType     INTEGER,
    Message               TEXT,
    Details               TEXT,
    DriverID              TEXT COLLATE NOCASE,
    EmployeeID            TEXT COLLATE NOCASE,
    OperatorID            TEXT COLLATE NOCASE,
    AlcoholResult         INTEGER,
    AlcoholCheckState     INTEGER,
    TemperatureResult     INTEGER,
    TemperatureCheckState INTEGER
);
CREATE INDEX logEmployee ON log (EmployeeID, DateTime);

-- The reaction that runs PelorinSend for every event.
CREATE TABLE AcsSchedules (
    _id          TEXT COLLATE NOCASE PRIMARY KEY,
    Name         TEXT COLLATE NOCASE,
    Comment      TEXT,
    ScheduleType INTEGER,
    BuiltInType  INTEGER,
    IsRemoved    INTEGER NOT NULL DEFAULT 0,
    OwnerType    INTEGER
);

CREATE TABLE DayIntervals (
    _id           TEXT COLLATE NOCASE PRIMARY KEY,
    AcsScheduleID TEXT COLLATE NOCASE,
    WeekID        TEXT COLLATE NOCASE,
    DayNumber     INTEGER
);

CREATE TABLE TimeIntervals (
    _id            TEXT COLLATE NOCASE PRIMARY KEY,
    DayIntervalsID TEXT COLLATE NOCASE,
    StartTime      TEXT,
    EndTime        TEXT,
    IntervalType   INTEGER
);

CREATE TABLE Reactions (
    _id         TEXT COLLATE NOCASE PRIMARY KEY,
    Name        TEXT COLLATE NOCASE,
    Description TEXT
);

CREATE TABLE ReactionEvents (
    _id        TEXT COLLATE NOCASE PRIMARY KEY,
    ReactionId TEXT COLLATE NOCASE,
    Name       TEXT COLLATE NOCASE,
    EventType  INTEGER,
    IsActive   INTEGER
);

CREATE TABLE ReactionEventsFromDevices (
    _id                        TEXT COLLATE NOCASE PRIMARY KEY,
    EventsFromAnyDevice        INTEGER,
    EventsWithAnySubtype       INTEGER,
    EventsWithAnyKnownEmployee INTEGER,
    EventsWithUnknownEmployee  INTEGER,
    ScheduleId                 TEXT COLLATE NOCASE
);

CREATE TABLE ReactionActions (
    _id         TEXT COLLATE NOCASE PRIMARY KEY,
    ReactionId  TEXT COLLATE NOCASE,
    Name        TEXT COLLATE NOCASE,
    ActionType  INTEGER,
    IsActive    INTEGER,
    OrderNumber INTEGER
);

CREATE TABLE ReactionExecuteProgramActions (
    _id                   TEXT COLLATE NOCASE PRIMARY KEY,
    FilePath              TEXT,
    WorkingDir            TEXT,
    Args                  TEXT,
    IsUseEventInfoForArgs INTEGER
);

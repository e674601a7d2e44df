-- Demo content of an access-control database: a few employees, their phones and a photo, the
-- devices, the event subtypes and some events. Ids follow a pattern so that they read easily:
--   employees E0000001-..., phones F0000001-..., devices D0000001-...

INSERT INTO variables (name, value) VALUES ('version', '3.5.2.1');

INSERT INTO Employee (_id, FullName, FirstName, SecondName, LastName, Comment, IsRemoved) VALUES
  ('E0000001-0000-4000-8000-000000000001', 'Иванов Иван Иванович',    'Иван',   'Иванович',   'Иванов',  'Бухгалтерия', 0),
  ('E0000002-0000-4000-8000-000000000002', 'Петрова Анна Сергеевна',  'Анна',   'Сергеевна',  'Петрова', 'Отдел кадров', 0),
  ('E0000003-0000-4000-8000-000000000003', 'Сидоров Пётр Алексеевич', 'Пётр',   'Алексеевич', 'Сидоров', NULL, 0),
  ('E0000004-0000-4000-8000-000000000004', 'Ахметов Данияр Серикович', 'Данияр', 'Серикович',  'Ахметов', 'Охрана', 0),
  ('E0000005-0000-4000-8000-000000000005', 'Кузнецова Мария Олеговна', 'Мария', 'Олеговна',   'Кузнецова', 'Уволена', 1);

-- Numbers with and without "+"; one description with a single quote, one empty, one NULL.
INSERT INTO PhoneNumbers (_id, EmployeeId, CountryCode, CityCode, Number, Description) VALUES
  ('F0000001-0000-4000-8000-000000000001', 'E0000001-0000-4000-8000-000000000001', '+7', '701', '1234567', 'мобильный'),
  ('F0000002-0000-4000-8000-000000000002', 'E0000002-0000-4000-8000-000000000002', '7',  '702', '7654321', ''),
  ('F0000003-0000-4000-8000-000000000003', 'E0000003-0000-4000-8000-000000000003', '7',  '705', '5550001', 'кабинет ''А'''),
  ('F0000004-0000-4000-8000-000000000004', 'E0000003-0000-4000-8000-000000000003', '+7', '727', '2223344', NULL),
  ('F0000005-0000-4000-8000-000000000005', 'E0000004-0000-4000-8000-000000000004', '7',  '707', '9990011', 'личный'),
  ('F0000006-0000-4000-8000-000000000006', 'E0000005-0000-4000-8000-000000000005', '7',  '701', '0000000', 'мобильный');

INSERT INTO EmployeePhoto (EmployeeID, PhotoNumber, Photo) VALUES
  ('E0000001-0000-4000-8000-000000000001', 1, X'89504E470D0A1A0A0000000D4948445200000040000000400802000000250BE689000000D04944415478DAEDD8C90D02410C44D18A8E708889D4B8712404AE8865B636EA2AF32507F09F341AB5ADEBED1E3D020000000000000000005038A7F365797C01ABE9BF60684A7DA141B3EAAB0C9A585F62D0DCFA7183A6D70F1AFE1850583F620000000000000000640278CC1900E2F7810E1B59879DB8C355A2C35DA8C3652EFE369AFA09A5FE46B3DF42E5F5870D32493FCC905BFD5E83DCD2F732645BBFD120E7FA2D0699D7AF1AE45FBF6CE80BB0AA5F3028A5FE9BA123C0B6FEA34159F5EF0600568088FA1703001F4050FDB3E10135E5B0E9B651D9EE0000000049454E44AE426082');

-- Devices: two access points with names, one removed, two face-recognition terminals of which one
-- has no name.
INSERT INTO DriverLinkProperty (_id, name) VALUES
  ('C0000001-0000-4000-8000-000000000001', 'AccessPoints'),
  ('C0000002-0000-4000-8000-000000000002', 'Controllers');

INSERT INTO Resource (_id, IsRemoved) VALUES
  ('D0000001-0000-4000-8000-000000000001', 0),
  ('D0000002-0000-4000-8000-000000000002', 0),
  ('D0000003-0000-4000-8000-000000000003', 1),
  ('D0000004-0000-4000-8000-000000000004', 0),
  ('D0000005-0000-4000-8000-000000000005', 0);

INSERT INTO driver (_idResource, _idParentProperty, ObjectTypeName) VALUES
  ('D0000001-0000-4000-8000-000000000001', 'C0000001-0000-4000-8000-000000000001', 'Kestrava.Driver.AccessPoint'),
  ('D0000002-0000-4000-8000-000000000002', 'C0000001-0000-4000-8000-000000000001', 'Kestrava.Driver.AccessPoint'),
  ('D0000003-0000-4000-8000-000000000003', 'C0000001-0000-4000-8000-000000000001', 'Kestrava.Driver.AccessPoint'),
  ('D0000004-0000-4000-8000-000000000004', 'C0000002-0000-4000-8000-000000000002',
   'Kestrava.Driver.Face.FaceRecognitionDriver, Kestrava.Driver.Face, Version=1.0.0.0, Culture=neutral, PublicKeyToken=null'),
  ('D0000005-0000-4000-8000-000000000005', 'C0000002-0000-4000-8000-000000000002',
   'Kestrava.Driver.Face.FaceRecognitionDriver, Kestrava.Driver.Face, Version=1.0.0.0, Culture=neutral, PublicKeyToken=null');

INSERT INTO Property (_idResource, PropertyName, Value) VALUES
  ('D0000001-0000-4000-8000-000000000001', 'Name', 'Турникет проходной'),
  ('D0000001-0000-4000-8000-000000000001', 'Address', '1'),
  ('D0000002-0000-4000-8000-000000000002', 'Name', 'Дверь склада'),
  ('D0000003-0000-4000-8000-000000000003', 'Name', 'Старый турникет'),
  ('D0000005-0000-4000-8000-000000000005', 'Name', 'Терминал распознавания лиц');

INSERT INTO LogMsgSubtypes (Id, Name, Publish) VALUES
  (1,   'Запуск сервера', 0),
  (2,   'Изменение конфигурации', 0),
  (26,  'Вход', 1),
  (27,  'Выход', 1),
  (66,  'Вход по ключу', 1),
  (226, 'Вход по распознаванию лица', 1);

INSERT INTO log (DateTime, LogMessageType, LogMessageSubType, Message, Details, DriverID, EmployeeID, OperatorID,
                 AlcoholResult, AlcoholCheckState, TemperatureResult, TemperatureCheckState) VALUES
  ('2024-11-14 08:55:12', 1, 26, 'Вход', 'Проход разрешён', 'D0000001-0000-4000-8000-000000000001',
   'E0000001-0000-4000-8000-000000000001', NULL, 0, 0, 366, 1),
  ('2024-11-14 09:02:40', 1, 26, 'Вход', 'Проход разрешён', 'D0000001-0000-4000-8000-000000000001',
   'E0000002-0000-4000-8000-000000000002', NULL, 0, 0, 372, 1),
  ('2024-11-14 09:15:03', 1, 26, 'Вход', 'Повышенная температура', 'D0000001-0000-4000-8000-000000000001',
   'E0000003-0000-4000-8000-000000000003', NULL, 0, 0, 381, 2),
  ('2024-11-14 12:30:00', 1, 27, 'Выход', 'Проход разрешён', 'D0000002-0000-4000-8000-000000000002',
   'E0000001-0000-4000-8000-000000000001', NULL, 0, 0, NULL, 0),
  ('2024-11-14 13:30:00', 1, 226, 'Вход', 'Лицо распознано', 'D0000005-0000-4000-8000-000000000005',
   'E0000004-0000-4000-8000-000000000004', 'E0000002-0000-4000-8000-000000000002', 0, 0, 365, 1),
  ('2024-11-14 18:01:27', 1, 27, 'Выход', 'Проход разрешён', 'D0000001-0000-4000-8000-000000000001',
   'E0000002-0000-4000-8000-000000000002', NULL, 0, 0, NULL, 0);

-- A family sharing its home number: one subscriber of that number follows both. Only the first of
-- the two has a photo (the same picture as above) and events of his own.
INSERT INTO Employee (_id, FullName, FirstName, SecondName, LastName, Comment, IsRemoved) VALUES
  ('E0000007-0000-4000-8000-000000000007', 'Нурланов Ерлан Маратович',    'Ерлан',   'Маратович', 'Нурланов',  'Склад', 0),
  ('E0000008-0000-4000-8000-000000000008', 'Нурланова Айгерим Маратовна', 'Айгерим', 'Маратовна', 'Нурланова', 'Склад', 0);

INSERT INTO PhoneNumbers (_id, EmployeeId, CountryCode, CityCode, Number, Description) VALUES
  ('F0000008-0000-4000-8000-000000000008', 'E0000007-0000-4000-8000-000000000007', '7', '717', '3334455', 'домашний'),
  ('F0000009-0000-4000-8000-000000000009', 'E0000008-0000-4000-8000-000000000008', '7', '717', '3334455', 'домашний');

INSERT INTO EmployeePhoto (EmployeeID, PhotoNumber, Photo)
  SELECT 'E0000007-0000-4000-8000-000000000007', 1, Photo FROM EmployeePhoto
  WHERE EmployeeID = 'E0000001-0000-4000-8000-000000000001' AND PhotoNumber = 1;

INSERT INTO log (DateTime, LogMessageType, LogMessageSubType, Message, Details, DriverID, EmployeeID, OperatorID,
                 AlcoholResult, AlcoholCheckState, TemperatureResult, TemperatureCheckState) VALUES
  ('2024-11-15 08:47:05', 1, 26, 'Вход', 'Проход разрешён', 'D0000001-0000-4000-8000-000000000001',
   'E0000007-0000-4000-8000-000000000007', NULL, 0, 0, 364, 1),
  ('2024-11-15 12:10:44', 1, 27, 'Выход', 'Проход разрешён', 'D0000002-0000-4000-8000-000000000002',
   'E0000007-0000-4000-8000-000000000007', NULL, 0, 0, NULL, 0),
  ('2024-11-15 13:02:19', 1, 26, 'Вход', 'Проход разрешён', 'D0000002-0000-4000-8000-000000000002',
   'E0000007-0000-4000-8000-000000000007', NULL, 0, 0, NULL, 0),
  ('2024-11-15 17:58:30', 1, 27, 'Выход', 'Проход разрешён', 'D0000001-0000-4000-8000-000000000001',
   'E0000007-0000-4000-8000-000000000007', NULL, 0, 0, NULL, 0);

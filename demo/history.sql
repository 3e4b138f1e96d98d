-- A history between two exports, as statements of the sqlite3 tool over a
-- copy of a product database: every kind of change the comparison lists, in
-- proportion to the database (about 30 of each on the demo organisation).
-- Lists removed.
DELETE FROM PersonalDList WHERE rowid % 30 = 1;
-- Lists renamed, one of them to a name with a comma and double quotes.
UPDATE PersonalDList SET DisplayName = coalesce(DisplayName, '') || ' (renamed)' WHERE rowid % 30 = 2;
UPDATE PersonalDList SET DisplayName = 'Sales, "west"'
  WHERE rowid = (SELECT min(rowid) FROM PersonalDList WHERE rowid % 30 = 2);
-- Members removed.
DELETE FROM PersonalDListMember WHERE MemberSeq % 50 = 7;
-- Members whose extension changed: a few subscribers' and a public list's.
UPDATE Subscriber SET DTMFAccessID = DTMFAccessID || '1' WHERE rowid % 100 = 5;
UPDATE DistributionList SET DTMFAccessID = '8' || coalesce(DTMFAccessID, '')
  WHERE rowid = (SELECT min(rowid) FROM DistributionList);
-- Members added: a subscriber more in some lists.
INSERT INTO PersonalDListMember (ParentObjectID, ObjectType, ObjectID, Alias, DisplayName)
  SELECT l.PersonalDListObjectID, 1, s.SubscriberObjectID, s.Alias, s.DisplayName
  FROM PersonalDList l JOIN Subscriber s ON s.rowid = (l.rowid * 7) % (SELECT count(*) FROM Subscriber) + 1
  WHERE l.rowid % 30 = 4;
-- Lists added: copies of some lists under another id, with their members.
INSERT INTO PersonalDListMember (ParentObjectID, ObjectType, ObjectID, Alias, DisplayName)
  SELECT 'NEW-' || m.ParentObjectID, m.ObjectType, m.ObjectID, m.Alias, m.DisplayName
  FROM PersonalDListMember m JOIN PersonalDList l ON l.PersonalDListObjectID = m.ParentObjectID
  WHERE l.rowid % 30 = 3 ORDER BY m.MemberSeq;
INSERT INTO PersonalDList (PersonalDListObjectID, ParentObjectID, Alias, DisplayName, DTMFAccessID)
  SELECT 'NEW-' || PersonalDListObjectID, ParentObjectID, Alias || '-new', 'New ' || coalesce(DisplayName, ''),
         '9' || coalesce(DTMFAccessID, '') || '9'
  FROM PersonalDList WHERE rowid % 30 = 3;

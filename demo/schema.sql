-- The product database as this tool sees it: base tables, and the views with
-- exactly the columns the tool reads. Portable SQL: the same file builds the
-- SQLite demo and test databases and the PostgreSQL test database.
CREATE TABLE Cos (
  COSObjectID VARCHAR(64) PRIMARY KEY,
  TextName VARCHAR(128)
);
CREATE TABLE Subscriber (
  SubscriberObjectID VARCHAR(64) PRIMARY KEY,
  Alias VARCHAR(128),
  FirstName VARCHAR(64),
  LastName VARCHAR(64),
  DisplayName VARCHAR(128),
  DTMFAccessID VARCHAR(40),
  CallHandlerObjectID VARCHAR(64),
  COSObjectID VARCHAR(64),
  SubscriberType INTEGER
);
CREATE TABLE DtmfAccess (
  DTMFAccessID VARCHAR(40),
  ParentObjectID VARCHAR(64)
);
CREATE TABLE DistributionList (
  SystemDListObjectID VARCHAR(64) PRIMARY KEY,
  Alias VARCHAR(128),
  DisplayName VARCHAR(128),
  DTMFAccessID VARCHAR(40)
);
CREATE TABLE PersonalDList (
  PersonalDListObjectID VARCHAR(64) PRIMARY KEY,
  ParentObjectID VARCHAR(64),
  Alias VARCHAR(128),
  DisplayName VARCHAR(128),
  DTMFAccessID VARCHAR(40)
);
CREATE TABLE PersonalDListMember (
  MemberSeq INTEGER PRIMARY KEY,
  ParentObjectID VARCHAR(64),
  ObjectType INTEGER,
  ObjectID VARCHAR(64),
  Alias VARCHAR(128),
  DisplayName VARCHAR(128)
);
CREATE INDEX ix_subscriber_alias ON Subscriber (Alias);
CREATE INDEX ix_subscriber_cos ON Subscriber (COSObjectID);
CREATE INDEX ix_dtmf_id ON DtmfAccess (DTMFAccessID);
CREATE INDEX ix_pdl_parent ON PersonalDList (ParentObjectID);
CREATE INDEX ix_pdlm_parent ON PersonalDListMember (ParentObjectID, MemberSeq);
CREATE VIEW vw_Subscriber AS
  SELECT SubscriberObjectID, Alias, FirstName, LastName, DisplayName, DTMFAccessID,
         CallHandlerObjectID, COSObjectID, SubscriberType
  FROM Subscriber;
CREATE VIEW vw_COS AS
  SELECT COSObjectID, TextName FROM Cos;
CREATE VIEW vw_DTMFAccessID AS
  SELECT DTMFAccessID, ParentObjectID FROM DtmfAccess;
CREATE VIEW vw_PersonalDList AS
  SELECT ParentObjectID, Alias AS alias, PersonalDListObjectID AS PersonalDListOBjectID,
         DisplayName, DTMFAccessID
  FROM PersonalDList;
CREATE VIEW vw_PersonalDListMember AS
  SELECT ParentObjectID, ObjectType, ObjectID, Alias, DisplayName
  FROM PersonalDListMember;
CREATE VIEW vw_DistributionList AS
  SELECT SystemDListObjectID, DTMFAccessID FROM DistributionList;
